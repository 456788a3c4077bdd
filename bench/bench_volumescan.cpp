// Cost per listed entry of the game folder search over 10, 100 and 1,000
// synthetic volume roots with 200 folders each. It should stay flat (linear).
#include "benchutil.h"
#include "volumescan.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int entriesPerRoot = 200;
    constexpr int maxRoots = 1000;

    QTemporaryDir base;
    QList<VolumeRoot> roots;
    for (int r = 0; r < maxRoots; ++r) {
        const QString root = base.filePath(QString::number(r));
        QDir dir;
        // One game folder per root, so every root yields a hit to compose and de-duplicate.
        dir.mkpath(root + QStringLiteral("/Ironvale_EU"));
        for (int e = 1; e < entriesPerRoot; ++e)
            dir.mkdir(root + QStringLiteral("/Folder_%1").arg(e));
        roots.append({root, true, false});
    }

    std::printf("%7s %9s %14s %12s\n", "roots", "entries", "ns/entry", "found");
    double first = 0, last = 0;
    for (const int count : {10, 100, 1000}) {
        const QList<VolumeRoot> some = roots.mid(0, count);
        qsizetype found = 0;
        const double ns
            = medianNs(count >= 1000 ? 5 : 15, [&] { found = findIvlDirsOnRoots(some).size(); });
        const double perEntry = ns / (count * entriesPerRoot);
        std::printf("%7d %9d %14.0f %12lld\n", count, count * entriesPerRoot, perEntry,
                    static_cast<long long>(found));
        if (count == 10)
            first = perEntry;
        last = perEntry;
    }
    std::printf("cost per entry at 1,000 roots vs 10 roots: %.2fx (goal: linear, about 1x)\n",
                last / first);
    return 0;
}
