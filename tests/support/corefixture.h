#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

// What the suites of the installer core share; no Widgets here.

// A fresh temporary folder that is the working directory for as long as this
// object lives, optionally holding Mods/<name> files (content: the name).
class ScratchDir
{
public:
    explicit ScratchDir(const QStringList &modFiles = {});
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// What a test finds installed before it installs again, and the failed copy's message.
inline const QByteArray oldCopy = "the copy that was installed before";
inline QString copyFailedMessage(const QString &modName)
{
    return QStringLiteral("Не вдалося скопіювати файл: ") + modName;
}

// How long the event loop went without a turn while this object lives, as a window
// manager's ping sees it: the longest gap between the ticks of a 10 ms timer.
class LoopStallMeter
{
public:
    LoopStallMeter();
    qint64 longestMs() const;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    qint64 m_longest = 0;
};

void writeFile(const QString &path, const QByteArray &bytes);
// The same bytes for the same size and seed, in every run.
QByteArray randomBytes(qint64 size, quint32 seed = 42);
// 1 GiB of random bytes at `path`: a copy of it takes long enough to be interrupted.
void writeLargeMod(const QString &path);
// Hides a file the platform's way: the leading dot of its name does it on Linux,
// the hidden attribute on Windows.
void hideFile(const QString &path);
QByteArray readFile(const QString &path);
void makeDirs(const QString &path);
// Dates a file's last change two days back, as one left by an ended run would be.
void makeOld(const QString &path);
// Every entry of a folder, hidden ones included, sorted.
QStringList listing(const QString &dir);

// True in the run where tests/wine-run.sh --drive-d has made an empty scratch
// folder drive D:; only then may a test write to D:.
inline bool haveScratchDriveD()
{
    return qEnvironmentVariableIsSet("IVL_TEST_DRIVE_D");
}

// Starts the test program again as a child that installs Mods/<modName> into `target`
// and kills it mid-copy; false, with why, if that could not be done. A suite that uses
// it uses IVL_TEST_MAIN_WITH_CHILD.
bool killInstallMidCopy(const QString &modName, const QString &target, QString *why);
// Starts the test program again as a child that searches for the game and quits; false,
// with why, unless it ends by itself within 20 s with exit code 0.
bool searchInChildAndQuit(QString *why);
// In the child: installs or searches as asked and returns the exit code; -1 in any other run.
int installAsChildIfAsked(int argc, char *argv[]);
// QTEST_GUILESS_MAIN for such a suite.
#define IVL_TEST_MAIN_WITH_CHILD(TestObject)                                                       \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        if (const int code = installAsChildIfAsked(argc, argv); code >= 0)                         \
            return code;                                                                           \
        QCoreApplication app(argc, argv);                                                          \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
