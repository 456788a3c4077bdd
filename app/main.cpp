#include "mainwindow.h"
#include "modinstallerapp.h"
#include "qttranslation.h"
#include "theme.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Qt's own buttons and dialogs speak Ukrainian before any window exists.
    installQtTranslation(app);
    Theme::applyLight();
    QGuiApplication::setWindowIcon(QIcon(u":/icon.ico"_s));

    // The core first: the window reads the Mods folder while it is built.
    ModInstallerApp installer(nullptr);
    MainWindow window(&installer, nullptr);
    window.show();

    return app.exec();
}
