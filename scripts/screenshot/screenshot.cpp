// Renders the main window in the light and the dark theme, with a few mods
// listed and a game path set, to PNG files for the README:
//   ivl-screenshot <output folder>
#include "mainwindow.h"
#include "modinstallerapp.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include <cstdio>

static void trigger(QMainWindow &window, const QString &text)
{
    for (QAction *action : window.menuBar()->findChildren<QAction *>()) {
        if (action->text() == text)
            action->trigger();
    }
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ivl-screenshot <output folder>\n");
        return 2;
    }
    const QDir out(QDir::current().absoluteFilePath(QString::fromLocal8Bit(argv[1])));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icon.ico")));

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    QDir().mkdir(QStringLiteral("Mods"));
    for (const char *name : {"Приціл_Снайпер_2.1.zip", "HD-текстури_броні.zip", "minimap-plus.zip",
                             "Звуки_бою_v3.ivlmod", "damage-log.zip"}) {
        QFile file(QStringLiteral("Mods/") + QString::fromUtf8(name));
        file.open(QIODevice::WriteOnly);
    }

    ModInstallerApp installer;
    MainWindow window(&installer);
    window.resize(640, 460);
    window.show();
    emit installer.ivlDirsFound({QStringLiteral("D:/Games/Ironvale_EU")});
    window.findChild<QListWidget *>()->setCurrentRow(2);

    const std::pair<const char *, const char *> shots[]
        = {{"Світла", "screenshot-light.png"}, {"Темна", "screenshot-dark.png"}};
    for (const auto &[theme, file] : shots) {
        trigger(window, QString::fromUtf8(theme));
        QApplication::processEvents();
        const QString path = out.filePath(QString::fromLatin1(file));
        if (!window.grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        std::printf("wrote %s\n", qPrintable(path));
    }
    return 0;
}
