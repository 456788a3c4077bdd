// Installing a 512 MiB mod next to copying it by hand, on the file systems where
// that differs: on ext4 against `cp SRC DST && sync DST`, on btrfs (where both can
// share the mod's blocks) against `cp --reflink=auto SRC DST && sync DST`. The mod
// and the game folder are on the same volume, rounds alternate, and the first round
// of each is a warm-up. Prints both medians and their ratio (goal: at most 1.1).
// The volumes are loop images of the benchmark's own (room for the mod, cp's copy,
// the installed copy and the one replacing it), which needs root; without
// them it measures once in the current folder against plain cp.
#include "benchutil.h"
#include "modinstallerapp.h"
#ifdef IVL_HAVE_TEST_VOLUMES
#include "testvolumes.h"
#endif

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void measure(const char *where, const QString &cp, int rounds)
{
    const qint64 size = 512LL << 20;
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
    const QString source = QDir::current().filePath(QStringLiteral("Mods/") + modName);
    const QString cpTarget = QDir::current().filePath(QStringLiteral("cp/") + modName);
    const QString ourTarget = QDir::current().filePath(QStringLiteral("ours"));

    // Write back everything first, so neither side pays for the source's dirty pages.
    QProcess::execute(QStringLiteral("sync"), {});
    std::vector<double> ours, theirs;
    for (int i = -1; i < rounds; ++i) {
        bool installed = false;
        const double oursNs
            = medianNs(1, [&] { installed = installer.installModFile(modName, ourTarget); });
        if (!installed)
            qFatal("the install failed");
        const double cpNs = medianNs(1, [&] {
            QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"), cp + QStringLiteral(" && sync \"$1\""), source, cpTarget});
        });
        if (i >= 0) {
            ours.push_back(oursNs);
            theirs.push_back(cpNs);
        }
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double oursMs = median(ours) / 1e6, cpMs = median(theirs) / 1e6;
    const QByteArray command = cp.toUtf8();
    std::printf("%s: 512 MiB, %d rounds each, alternating\n", where, rounds);
    std::printf("  installModFile median: %8.1f ms\n", oursMs);
    std::printf("  %s && sync median: %8.1f ms\n", command.constData(), cpMs);
    std::printf("  ratio: %.2f (goal: at most 1.1)\n", oursMs / cpMs);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? QByteArray(argv[1]).toInt() : 11;
    const QString here = QDir::currentPath();
    const QString plainCp = QStringLiteral("cp \"$0\" \"$1\"");
    bool measured = false;
#ifdef IVL_HAVE_TEST_VOLUMES
    for (const auto &[kind, cp] :
         {std::pair{QStringLiteral("ext4"), plainCp},
          std::pair{QStringLiteral("btrfs"), QStringLiteral("cp --reflink=auto \"$0\" \"$1\"")}}) {
        QTemporaryDir work(here + QStringLiteral("/bench-install-XXXXXX"));
        const QString volume = work.filePath(QStringLiteral("volume"));
        TestVolumes volumes;
        QString why;
        if (!volumes.mount(kind, volume, 4LL << 30, &why)) {
            std::printf("%s: not measured (%s)\n", qPrintable(kind), qPrintable(why));
            continue;
        }
        QDir::setCurrent(volume);
        measure(qPrintable(kind + QStringLiteral(" (a loop image)")), cp, rounds);
        QDir::setCurrent(here);
        measured = true;
    }
#endif
    if (!measured) {
        QTemporaryDir work(here + QStringLiteral("/bench-install-XXXXXX"));
        QDir::setCurrent(work.path());
        measure("the current folder", plainCp, rounds);
        QDir::setCurrent(here);
    }
    return 0;
}
