// Installs one mod with the program's own installer core, in the working folder,
// and prints the outcome in UTF-8: how the package check tries an install under
// a player's account (a Cyrillic profile, a Ukrainian code page) with the DLLs
// that the packages ship.
//   ivl-install-check <mod name> <destination folder>
#include "modinstallerapp.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments(); // from the UTF-16 command line
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: ivl-install-check <mod name> <destination folder>\n");
        return 2;
    }
    ModInstallerApp installer(nullptr);
    QObject::connect(&installer, &ModInstallerApp::installationComplete, [](const QString &mod) {
        std::printf("installed: %s\n", mod.toUtf8().constData());
    });
    QObject::connect(&installer, &ModInstallerApp::errorOccurred, [](const QString &message) {
        std::printf("error: %s\n", message.toUtf8().constData());
    });
    const bool ok = installer.installModFile(args.at(1), args.at(2));
    std::fflush(stdout);
    return ok ? 0 : 1;
}
