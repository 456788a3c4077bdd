#include "modinstallerapp.h"

#include "filecopy.h"
#include "offthread.h"
#include "volumes.h"
#include "workprogress.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace {

// A sleeping disk spins up well within it; a share whose server is gone never answers.
constexpr int searchTimeLimitMs = 8000;

} // namespace

ModInstallerApp::ModInstallerApp(QObject *parent)
    : QObject(parent)
{
    ensureFolders();
}

void ModInstallerApp::ensureFolders()
{
    // Where the program is started; a failed mkdir shows later, where the folder is used.
    QDir workingDir;
    if (!workingDir.exists(u"Mods"_s))
        workingDir.mkdir(u"Mods"_s);
    if (!workingDir.exists(u"Info"_s))
        workingDir.mkdir(u"Info"_s);
}

void ModInstallerApp::findIvlDirs()
{
    emit ivlDirsFound(scanVolumesForIvlDirs());
}

QStringList ModInstallerApp::scanVolumesForIvlDirs() const
{
    const QDeadlineTimer deadline(searchTimeLimitMs);
    auto roots = std::make_shared<QStringList>();
    if (!OffThread::waitFor({OffThread::start([roots] { *roots = Volumes::mountedRoots(); })},
                            deadline, m_waitIndicator))
        return {};

    // Each root by itself, all at once: one that hangs holds up no other.
    std::vector<std::shared_ptr<const OffThread::Job>> probes;
    std::vector<std::shared_ptr<QStringList>> hits;
    for (const QString &root : std::as_const(*roots)) {
        auto hitsHere = std::make_shared<QStringList>();
        probes.push_back(OffThread::start([root, hitsHere] {
            bool listed = false;
            const VolumeRoot volume = Volumes::probe(root, &listed);
            if (listed)
                *hitsHere = findIvlDirsOnRoots({volume});
        }));
        hits.push_back(hitsHere);
    }
    OffThread::waitFor(probes, deadline, m_waitIndicator);

    QStringList found;
    for (size_t i = 0; i < probes.size(); ++i) {
        if (probes[i]->finished.load(std::memory_order_acquire))
            found += *hits[i];
    }
    found.removeDuplicates();
    return found;
}

QMap<QString, QString> ModInstallerApp::getAvailableMods() const
{
    QMap<QString, QString> mods;
    const QDir modsDir(u"Mods"_s);
    // Unsorted: the map orders the names, and sorting them first is most of a start's
    // listing time.
    const QStringList names = modsDir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : names)
        mods.insert(name, modsDir.filePath(name));
    return mods;
}

bool ModInstallerApp::installModFile(const QString &modName, const QString &targetDir)
{
    enum class Outcome { SourceMissing, Failed, Done };
    struct Install
    {
        WorkProgress progress;
        Outcome outcome = Outcome::Failed;
    };
    auto install = std::make_shared<Install>();
    install->progress.subject = modName;
    // Resolved here: the thread may outlive a change of the working directory.
    const QString sourcePath = QDir::current().absoluteFilePath(u"Mods/"_s + modName);
    const QString destinationPath = QDir::current().absoluteFilePath(targetDir + u'/' + modName);

    const auto job = OffThread::start([install, sourcePath, destinationPath] {
        if (!QFile(sourcePath).exists())
            install->outcome = Outcome::SourceMissing;
        else if (FileCopy::replaceWithCopy(sourcePath, destinationPath, &install->progress))
            install->outcome = Outcome::Done;
    });
    const bool finished = OffThread::waitFor({job}, QDeadlineTimer(QDeadlineTimer::Forever),
                                             m_waitIndicator, &install->progress);
    // Not finished: stuck after a cancel, or the program quits. It stops where it can.
    if (!finished)
        install->progress.cancelRequested = true;
    m_installCanceled
        = !finished || (install->progress.cancelRequested && install->outcome != Outcome::Done);
    if (m_installCanceled)
        return false;

    if (install->outcome == Outcome::SourceMissing) {
        emit errorOccurred(u"Вихідний файл мода не знайдено."_s);
        return false;
    }
    if (install->outcome == Outcome::Failed) {
        emit errorOccurred(u"Не вдалося скопіювати файл: "_s + modName);
        return false;
    }
    emit installationComplete(modName);
    return true;
}
