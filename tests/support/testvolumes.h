#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class QProcess;

// Real file systems for the tests, seen by this process and its children only (a private
// mount namespace, which needs root). Each call returns false and says why where the
// machine does not allow it (not root, no loop devices or FUSE, a tool missing).
// The volumes of one test; all are unmounted when this object goes, so declare it
// after the scratch folder they live in. The kinds:
// - "tmpfs";
// - loop images of "ext4", "btrfs" and "xfs";
// - FUSE mounts of images: "ntfs-3g", "exfat" (exfat-fuse), "fat32" (fusefat);
// - FUSE mounts over a folder of their own: "bindfs" (a plain passthrough) and shares
//   with one fault each (support/refusingshare.py): "share refusing at fsync" and
//   "share refusing at close" (a full quota: the writes are taken, the data refused
//   there), "share keeping less" (keeps no byte past the first MiB, says it took all)
//   and "share without rename over" (renames only onto a free name, as fusefat 0.3); and
//   "share writing slowly" (20 MiB/s, as a USB stick).
class TestVolumes
{
public:
    TestVolumes();
    ~TestVolumes();
    TestVolumes(const TestVolumes &) = delete;
    TestVolumes &operator=(const TestVolumes &) = delete;

    // A fresh volume of `kind` at `where`, `bytes` large (tmpfs and images; at least
    // as large as the kind's formatting tool wants: btrfs 128 MiB, xfs 320 MiB).
    bool mount(const QString &kind, const QString &where, qint64 bytes, QString *why);
    bool makeReadOnly(const QString &where, QString *why);
    // A FUSE volume whose server is stopped, as a share whose server is gone: every call
    // on it waits, until this object goes or 30 s have passed (so that a test that waits
    // on it fails with its message rather than hangs), and the server goes on.
    void stopAnswering(const QString &where);
    // The folder behind a volume over a folder: what is written there bypasses it.
    QString backing(const QString &where) const;

private:
    struct Volume
    {
        QString where;
        QString backing;
        std::unique_ptr<QProcess> server; // the FUSE server, while it runs
    };
    bool startServer(const QString &program, const QStringList &args, Volume *volume, QString *why);

    QTemporaryDir m_files; // images and backing folders, outside what is mounted
    std::vector<Volume> m_volumes;
};
