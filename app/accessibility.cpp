#include "accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
const auto noticeName = "statusNotice"_L1;

// Orca speaks an object of this role each time it is shown.
QAccessibleInterface *noticeInterface(const QString &, QObject *object)
{
    if (object && object->isWidgetType() && object->objectName() == noticeName)
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    return nullptr;
}
#endif

// Enter in the folder dialog's field closes it with the completion list still open, and Qt
// drops the window's activation that comes while a popup is open.
void closePopupsOf(const QWidget *dialog)
{
    while (QWidget *popup = QApplication::activePopupWidget()) {
        // A completion list has no parent, but the field as its focus proxy.
        const QWidget *owner = popup->parentWidget() ? popup->parentWidget() : popup->focusProxy();
        if (!owner || owner->window() != dialog)
            return;
        popup->hide();
    }
}

} // namespace

WindowAccessibility::WindowAccessibility(QMainWindow *window, QListWidget *modList)
    : QObject(window)
    , m_window(window)
    , m_modList(modList)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    static const bool factoryInstalled = (QAccessible::installFactory(noticeInterface), true);
    Q_UNUSED(factoryInstalled);
#endif
    auto *menuKey = new QShortcut(QKeySequence(Qt::Key_F10), window);
    connect(menuKey, &QShortcut::activated, this, &WindowAccessibility::openMenuBar);
    // Application-wide: the dialogs come and go.
    qApp->installEventFilter(this);
    QAccessible::installActivationObserver(this);
}

WindowAccessibility::~WindowAccessibility()
{
    QAccessible::removeActivationObserver(this);
    qApp->removeEventFilter(this);
}

void WindowAccessibility::announce(const QString &text)
{
    if (!m_window->isVisible())
        return;
    m_firstAnnounced = true;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // From the window: Orca drops a second announcement within 0.1 s from a status bar.
    QAccessibleAnnouncementEvent announcement(m_window, text);
    QAccessible::updateAccessibility(&announcement);
#else
    // A new object for each message: Orca takes a second showing of the same object moments
    // after the first for a duplicate. The old one goes once a reader has read it.
    if (m_notice) {
        m_notice->hide();
        QTimer::singleShot(10000, m_notice, &QObject::deleteLater);
    }
    // Never painted: no size, and shown only to be spoken.
    m_notice = new QWidget(m_window->statusBar());
    m_notice->setObjectName(noticeName);
    m_notice->setFixedSize(0, 0);
    m_notice->setAccessibleName(text);
    m_notice->show();
#endif
}

bool WindowAccessibility::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::StatusTip:
        // Browsed menu items send empty tips, which would wipe the last message.
        return watched == m_window && static_cast<QStatusTipEvent *>(event)->tip().isEmpty();
    case QEvent::Show:
        if (watched == m_window && !m_shown) {
            m_shown = true;
            // Nothing reaches the bus before the bridge is up, which may be later.
            if (QAccessible::isActive())
                QMetaObject::invokeMethod(this, &WindowAccessibility::announceFirst,
                                          Qt::QueuedConnection);
        }
        break;
    case QEvent::FocusIn:
        // Qt says the list itself after its current item; say the item last.
        if (watched == m_modList)
            QMetaObject::invokeMethod(this, &WindowAccessibility::sayCurrentMod,
                                      Qt::QueuedConnection);
        break;
    case QEvent::Hide:
        if (auto *dialog = qobject_cast<QDialog *>(watched); dialog && dialog->isWindow()) {
            closePopupsOf(dialog);
            QMetaObject::invokeMethod(this, &WindowAccessibility::regainFocus,
                                      Qt::QueuedConnection);
        }
        break;
    default:
        break;
    }
    return false;
}

void WindowAccessibility::accessibilityActiveChanged(bool active)
{
    if (active && m_shown)
        QMetaObject::invokeMethod(this, &WindowAccessibility::announceFirst, Qt::QueuedConnection);
}

// Once only, and not when a later message has been spoken already.
void WindowAccessibility::announceFirst()
{
    if (!m_firstAnnounced)
        announce(m_window->statusBar()->currentMessage());
}

// F10 does what a lone Alt does: the first menu current but closed.
void WindowAccessibility::openMenuBar()
{
    // Modifiers as the platform reports them: Alt held while pressed, not after.
    QKeyEvent altDown(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(m_window, &altDown);
    QKeyEvent altUp(QEvent::KeyRelease, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(m_window, &altUp);
    QMenuBar *bar = m_window->menuBar();
    if (!bar->hasFocus() && !bar->actions().isEmpty()) // a style without Alt navigation
        bar->setActiveAction(bar->actions().first());
}

void WindowAccessibility::sayCurrentMod()
{
    const int row = m_modList->currentRow();
    if (!m_modList->hasFocus() || row < 0)
        return;
    QAccessibleEvent focus(m_modList, QAccessible::Focus);
    focus.setChild(row);
    QAccessible::updateAccessibility(&focus);
}

void WindowAccessibility::regainFocus()
{
    if (!m_window->isVisible() || QApplication::activeModalWidget()
        || QApplication::activePopupWidget())
        return;
    if (!m_window->focusWidget())
        m_modList->setFocus(Qt::OtherFocusReason);
    if (QApplication::activeWindow() != m_window)
        m_window->activateWindow();
}
