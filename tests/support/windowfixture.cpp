#include "windowfixture.h"

#include "qttranslation.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

// Every test process gets Qt's Ukrainian texts, as main() gives them to the program.
static void useQtTranslation()
{
    if (!installQtTranslation(*QCoreApplication::instance()))
        qFatal("test set-up: Qt's Ukrainian translation did not load");
}
Q_COREAPP_STARTUP_FUNCTION(useQtTranslation)

UrlCatcher::UrlCatcher()
{
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
}

UrlCatcher::~UrlCatcher()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void UrlCatcher::refuse()
{
    // A handler Qt cannot call: openUrl then reports failure.
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "unreachable");
}

void UrlCatcher::open(const QUrl &url)
{
    opened.append(url);
}

WindowFixture::WindowFixture(const QStringList &modFiles)
    : work(modFiles)
    , installer(nullptr)
    , window(&installer, nullptr)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qWarning("test set-up: the main window was not exposed");
}

QPushButton *WindowFixture::button(const QString &text) const
{
    const auto buttons = window.findChildren<QPushButton *>();
    for (QPushButton *b : buttons) {
        if (b->text() == text)
            return b;
    }
    qFatal("no button %s", qPrintable(text));
}

QAction *WindowFixture::action(const QString &text) const
{
    const auto menus = window.menuBar()->findChildren<QMenu *>();
    for (const QMenu *menu : menus) {
        const auto actions = menu->actions();
        for (QAction *a : actions) {
            if (a->text() == text && !a->menu())
                return a;
        }
    }
    qFatal("no menu item %s", qPrintable(text));
}

QListWidget *WindowFixture::modList() const
{
    return window.findChild<QListWidget *>();
}

QString WindowFixture::status() const
{
    return window.statusBar()->currentMessage();
}

QString WindowFixture::gamePath() const
{
    return window.findChild<QLineEdit *>()->text();
}

QStringList WindowFixture::mods() const
{
    QStringList texts;
    for (int row = 0; row < modList()->count(); ++row)
        texts.append(modList()->item(row)->text());
    return texts;
}

void WindowFixture::setGamePath(const QString &path)
{
    emit installer.ivlDirsFound({path});
}

bool closeStrayWindows()
{
    bool found = false;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        if (!w->isVisible())
            continue;
        found = true;
        if (auto *dialog = qobject_cast<QDialog *>(w))
            dialog->reject();
        else
            w->close();
    }
    return found;
}
