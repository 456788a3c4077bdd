#include "icoicon.h"
#include "mainwindow.h"
#include "modinstallerapp.h"
#include "qttranslation.h"
#include "theme.h"

#include <QApplication>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The menu entry's name: Wayland's app_id and the X11 window class, whatever the
    // binary is called, so docks show its icon and group its windows.
    QGuiApplication::setDesktopFileName(QStringLiteral(IVL_DESKTOP_NAME));
    QCoreApplication::setApplicationName(QStringLiteral(IVL_DESKTOP_NAME));
    // Qt's own buttons and dialogs speak Ukrainian before any window exists.
    installQtTranslation(app);
    Theme::applyLight();
    QGuiApplication::setWindowIcon(icoIcon(u":/icon.ico"_s));

    // The core first: the window reads the Mods folder while it is built.
    ModInstallerApp installer(nullptr);
    MainWindow window(&installer, nullptr);
    window.show();

    return app.exec();
}
