// Cost per mod file of reading the catalogue and refreshing the window's list,
// at 1,000, 10,000 and 100,000 files. The cost per file should stay nearly flat.
#include "benchutil.h"
#include "mainwindow.h"
#include "modinstallerapp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const int sizes[] = {1000, 10000, 100000};
    double firstPerFile = 0, lastPerFile = 0;
    std::printf("%9s %16s %20s %16s\n", "files", "catalogue ns/f", "catalogue+list ns/f", "runs");
    for (const int files : sizes) {
        QTemporaryDir work;
        QDir::setCurrent(work.path());
        QDir().mkdir(QStringLiteral("Mods"));
        for (int i = 0; i < files; ++i) {
            // Mixed case and digits so the ordering does real work.
            QFile f(QStringLiteral("Mods/%1mod_%2.zip")
                        .arg(QChar(u'A' + i % 26 + (i % 2) * 32))
                        .arg(i));
            f.open(QIODevice::WriteOnly);
        }

        ModInstallerApp installer;
        MainWindow window(&installer);
        QPushButton *refresh = nullptr;
        for (QPushButton *b : window.findChildren<QPushButton *>()) {
            if (b->text() == QStringLiteral("Оновити список модів"))
                refresh = b;
        }

        const int runs = files >= 100000 ? 5 : 15;
        const double catalogue = medianNs(runs, [&] { (void)installer.getAvailableMods(); });
        const double refreshed = medianNs(runs, [&] { refresh->click(); });
        const double perFile = refreshed / files;
        std::printf("%9d %16.0f %20.0f %16d\n", files, catalogue / files, perFile, runs);
        if (files == sizes[0])
            firstPerFile = perFile;
        lastPerFile = perFile;
        QDir::setCurrent(QDir::tempPath());
    }
    std::printf("catalogue+list cost per file at 100,000 vs 1,000: %.2fx (goal: at most 2x)\n",
                lastPerFile / firstPerFile);
    return 0;
}
