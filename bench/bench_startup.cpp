// Start to first paint of the program against a bare QMainWindow with one line of text:
// each a fresh process, side by side in one run, medians of alternating rounds, with an
// empty Mods folder and with 1,000 and 10,000 mods. Goal: within 1.2x of the bare window
// at 1,000 mods, and a cost per mod that does not grow with their number.
#include "benchutil.h"
#include "icoicon.h"
#include "mainwindow.h"
#include "modinstallerapp.h"
#include "qttranslation.h"
#include "theme.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

// Knows when a window's first frame is painted: at the end of the event that carried its
// first paint (an expose or an update request paints the whole window, then flushes).
class PaintClock final : public QApplication
{
public:
    using QApplication::QApplication;

    void watch(QWidget *window) { m_window = window; }

    bool notify(QObject *receiver, QEvent *event) override
    {
        ++m_depth;
        const bool paint = receiver == m_window && event->type() == QEvent::Paint;
        const bool result = QApplication::notify(receiver, event);
        --m_depth;
        m_painted = m_painted || paint;
        if (m_painted && m_depth == 0) {
            m_window = nullptr;
            m_painted = false;
            // The process's own CPU time (on Linux), which a busy machine disturbs less.
            std::printf("painted %.3f\n", 1e3 * double(std::clock()) / CLOCKS_PER_SEC);
            std::fflush(stdout);
            QMetaObject::invokeMethod(this, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return result;
    }

private:
    QWidget *m_window = nullptr;
    bool m_painted = false;
    int m_depth = 0;
};

// One start: the bare window, or the program's own steps as its main() takes them.
int child(int argc, char *argv[], bool bare)
{
    PaintClock app(argc, argv);
    if (bare) {
        QMainWindow window;
        window.setCentralWidget(new QLabel(u"Ironvale Mod Installer"_s));
        app.watch(&window);
        window.show();
        return app.exec();
    }
    installQtTranslation(app);
    Theme::applyLight();
    QGuiApplication::setWindowIcon(icoIcon(u":/icon.ico"_s));
    ModInstallerApp installer(nullptr);
    MainWindow window(&installer, nullptr);
    app.watch(&window);
    window.show();
    return app.exec();
}

struct Start
{
    double wallMs = 0;
    double cpuMs = 0;
};

Start startToFirstPaint(const QString &kind, const QString &workDir)
{
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.setStandardErrorFile(QProcess::nullDevice()); // the offscreen platform's notes
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationFilePath(), {kind});
    while (!process.canReadLine() && process.waitForReadyRead(10000)) { }
    const double wallMs = double(timer.nsecsElapsed()) / 1e6;
    const QList<QByteArray> line = process.readLine().trimmed().split(' ');
    if (line.size() != 2 || line.first() != "painted")
        qFatal("the %s window did not paint", qPrintable(kind));
    process.waitForFinished();
    return {wallMs, line.last().toDouble()};
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && (!std::strcmp(argv[1], "bare") || !std::strcmp(argv[1], "window")))
        return child(argc, argv, !std::strcmp(argv[1], "bare"));

    QCoreApplication app(argc, argv);
    const int rounds = 21;
    std::printf("%7s %9s %9s %6s %9s %9s %6s %11s %11s\n", "mods", "bare ms", "ours ms", "ratio",
                "bare cpu", "ours cpu", "ratio", "us/mod", "cpu us/mod");
    double oursAt0 = 0, oursCpuAt0 = 0, perModAt1000 = 0;
    for (const int mods : {0, 1000, 10000}) {
        QTemporaryDir work;
        QDir(work.path()).mkdir(u"Mods"_s);
        for (int i = 0; i < mods; ++i)
            QFile(work.filePath(u"Mods/mod_%1.ivlmod"_s.arg(i))).open(QIODevice::WriteOnly);
        // One of each first, so the files they load are in the page cache for both.
        startToFirstPaint(u"bare"_s, work.path());
        startToFirstPaint(u"window"_s, work.path());
        std::vector<double> bare, ours, bareCpu, oursCpu;
        for (int round = 0; round < rounds; ++round) {
            const Start b = startToFirstPaint(u"bare"_s, work.path());
            const Start w = startToFirstPaint(u"window"_s, work.path());
            bare.push_back(b.wallMs);
            ours.push_back(w.wallMs);
            bareCpu.push_back(b.cpuMs);
            oursCpu.push_back(w.cpuMs);
        }
        const double b = median(bare), w = median(ours), bc = median(bareCpu), wc = median(oursCpu);
        if (mods == 0) {
            oursAt0 = w;
            oursCpuAt0 = wc;
        }
        // What each mod adds to the program's own start.
        const double perMod = mods ? (w - oursAt0) * 1e3 / mods : 0;
        const double cpuPerMod = mods ? (wc - oursCpuAt0) * 1e3 / mods : 0;
        std::printf("%7d %9.2f %9.2f %6.2f %9.2f %9.2f %6.2f %11.2f %11.2f\n", mods, b, w, w / b,
                    bc, wc, wc / bc, perMod, cpuPerMod);
        if (mods == 1000)
            perModAt1000 = cpuPerMod;
        else if (mods > 1000 && perModAt1000 > 0)
            std::printf("cpu cost per mod at %d vs 1,000: %.2fx (goal: about 1x, not growing)\n",
                        mods, cpuPerMod / perModAt1000);
    }
    std::printf("goal: ours within 1.2x of bare at 1,000 mods\n");
    return 0;
}
