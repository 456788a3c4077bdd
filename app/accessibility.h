#pragma once

#include <QObject>

class QListWidget;
class QMainWindow;
class QString;
class QWidget;

// What a player with a screen reader or only a keyboard needs of the main window
// beyond Qt's own: every status message spoken wherever the focus is, the mod list's
// current mod said when the list gets the focus, F10 as the menu bar's key (as a lone
// Alt), and the window active again, with a control focused, after each dialog.
class WindowAccessibility final : public QObject
{
    Q_OBJECT

public:
    WindowAccessibility(QMainWindow *window, QListWidget *modList);
    ~WindowAccessibility() override;

    // Speaks a new status message; one shown before the window is, once it is shown.
    void announce(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openMenuBar();
    void sayCurrentMod();
    void regainFocus();

    QMainWindow *m_window;
    QListWidget *m_modList;
    QWidget *m_notice = nullptr; // where announcements are missing (Qt before 6.8)
    bool m_shown = false;
};
