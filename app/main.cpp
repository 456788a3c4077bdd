#include "mainwindow.h"
#include "modinstallerapp.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setWindowIcon(QIcon(u":/icon.ico"_s));

    // The core first: the window reads the Mods folder while it is built.
    ModInstallerApp installer(nullptr);
    MainWindow window(&installer, nullptr);
    window.show();

    return app.exec();
}
