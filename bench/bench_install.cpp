// Installing a 512 MiB mod against `cp SRC DST && sync DST` on the same file,
// alternating in one run. Prints both medians and their ratio (goal: at most 1.1).
#include "benchutil.h"
#include "modinstallerapp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 size = 512LL << 20;
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 7;

    // Beside the build, on the same file system a player's game would be on.
    QTemporaryDir work(QDir::current().filePath(QStringLiteral("bench-install-XXXXXX")));
    QDir::setCurrent(work.path());
    ModInstallerApp installer;
    const QString modName = QStringLiteral("big-mod.zip");
    {
        QFile mod(QStringLiteral("Mods/") + modName);
        mod.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, Qt::Uninitialized);
        QRandomGenerator rng(7);
        for (qint64 written = 0; written < size; written += block.size()) {
            rng.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
            mod.write(block);
        }
    }
    QDir().mkpath(QStringLiteral("ours"));
    QDir().mkpath(QStringLiteral("cp"));
    const QString source = work.filePath(QStringLiteral("Mods/") + modName);
    const QString cpTarget = work.filePath(QStringLiteral("cp/") + modName);
    const QString ourTarget = work.filePath(QStringLiteral("ours"));

    // Write back everything first, so neither side pays for the source's dirty
    // pages; the first round of each is a warm-up and is not counted.
    QProcess::execute(QStringLiteral("sync"), {});
    std::vector<double> ours, cp;
    for (int i = -1; i < rounds; ++i) {
        const double oursNs = medianNs(1, [&] { installer.installModFile(modName, ourTarget); });
        const double cpNs = medianNs(1, [&] {
            QProcess::execute(QStringLiteral("sh"),
                              {QStringLiteral("-c"),
                               QStringLiteral("cp \"$0\" \"$1\" && sync \"$1\""), source,
                               cpTarget});
        });
        if (i >= 0) {
            ours.push_back(oursNs);
            cp.push_back(cpNs);
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double oursMs = median(ours) / 1e6, cpMs = median(cp) / 1e6;
    std::printf("512 MiB, %d rounds each, alternating\n", rounds);
    std::printf("installModFile median: %8.1f ms\n", oursMs);
    std::printf("cp && sync median:     %8.1f ms\n", cpMs);
    std::printf("ratio: %.2f (goal: at most 1.1)\n", oursMs / cpMs);
    return 0;
}
