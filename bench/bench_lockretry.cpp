// Windows: how long an install waits out another program's lock on the old copy.
// Prints the time until a copy held for 200 ms is replaced, and until a copy held
// for good gives up (median of 5 each). Windows only; under Wine, from the project's root:
//   ../shared/tools/win-check bash -c 'bash scripts/windows.sh >/dev/null;
//       cmake --build build-windows --target bench_lockretry && wine
//       build-windows/bench_lockretry.exe'
#include "benchutil.h"
#include "modinstallerapp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <qt_windows.h>

#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    ModInstallerApp installer;
    const QString modName = QStringLiteral("locked.mod");
    const QString target = work.filePath(QStringLiteral("game"));
    QDir().mkpath(target);
    QFile mod(QStringLiteral("Mods/") + modName);
    mod.open(QIODevice::WriteOnly);
    mod.write(QByteArray(64 * 1024, 'm'));
    mod.close();
    const std::wstring installed
        = QDir::toNativeSeparators(target + QLatin1Char('/') + modName).toStdWString();

    auto lockedFor = [&](int ms) {
        QFile old(target + QLatin1Char('/') + modName);
        old.open(QIODevice::WriteOnly);
        old.write("old");
        old.close();
        const HANDLE held
            = CreateFileW(installed.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
        std::thread release([=] {
            Sleep(DWORD(ms));
            CloseHandle(held);
        });
        bool ok = false;
        const double ns = medianNs(1, [&] { ok = installer.installModFile(modName, target); });
        release.join();
        return std::make_pair(ns / 1e6, ok);
    };
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    std::vector<double> brief, lasting;
    int briefOk = 0, lastingOk = 0;
    for (int i = 0; i < 5; ++i) {
        const auto [briefMs, ok1] = lockedFor(200);
        const auto [lastingMs, ok2] = lockedFor(5000);
        brief.push_back(briefMs);
        lasting.push_back(lastingMs);
        briefOk += ok1;
        lastingOk += ok2;
    }
    std::printf("old copy held 200 ms: installed after %.0f ms (median of 5; %d of 5 installed)\n",
                median(brief), briefOk);
    std::printf("old copy held for good: failed after %.0f ms (median of 5; %d of 5 installed)\n",
                median(lasting), lastingOk);
    std::fflush(stdout);
    return 0;
}
