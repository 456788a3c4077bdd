#pragma once

#include <QAccessible>
#include <QObject>

class QListWidget;
class QMainWindow;
class QString;
class QWidget;

// What a player with a screen reader or only a keyboard needs of the main window
// beyond Qt's own: every status message spoken wherever the focus is, the mod list's
// current mod said when the list gets the focus, F10 as the menu bar's key (as a lone
// Alt), and the window active again, with a control focused, after each dialog.
class WindowAccessibility final : public QObject, private QAccessible::ActivationObserver
{
    Q_OBJECT

public:
    WindowAccessibility(QMainWindow *window, QListWidget *modList);
    ~WindowAccessibility() override;

    // Speaks a new status message; the one shown at start-up once a screen reader listens.
    void announce(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void accessibilityActiveChanged(bool active) override;
    void announceFirst();
    void openMenuBar();
    void sayCurrentMod();
    void regainFocus();

    QMainWindow *m_window;
    QListWidget *m_modList;
    QWidget *m_notice = nullptr; // where announcements are missing (Qt before 6.8)
    bool m_shown = false;
    bool m_firstAnnounced = false;
};
