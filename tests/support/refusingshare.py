#!/usr/bin/python3
"""A network share with one fault, for the tests: a FUSE file system over the folder
BACKING that passes everything through but for FAULT:

    fsync         its quota is full: it takes every write but keeps none of the bytes
                  (a written file only grows, with zeros) and refuses the data with
                  ENOSPC at fsync, as NFS and SMB report a full quota;
    close         the same, refused at close (flush) instead;
    short         it says it took every write but keeps no byte past the first MiB;
    rename-over   it renames only onto a free name (EEXIST), as fusefat 0.3 does;
    slow          it writes 20 MiB/s, as a USB stick or a distant share.

Runs in the foreground until it is unmounted:

    refusingshare.py FAULT BACKING MOUNTPOINT

Needs fusepy (Debian: python3-fusepy).
"""
import errno
import os
import sys
import time

try:
    from fusepy import FUSE, FuseOSError, Operations  # Debian's name for it
except ImportError:
    from fuse import FUSE, FuseOSError, Operations


class RefusingShare(Operations):
    def __init__(self, fault, backing):
        self.fault = fault
        self.backing = backing
        self.written = set()  # handles whose data "is on its way to the server"

    def _path(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        keys = ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime", "st_mtime",
                "st_ctime")
        return {key: getattr(st, key) for key in keys}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        keys = ("f_bsize", "f_frsize", "f_blocks", "f_bfree", "f_bavail", "f_files", "f_ffree",
                "f_favail", "f_flag", "f_namemax")
        return {key: getattr(st, key) for key in keys}

    def mkdir(self, path, mode):
        os.mkdir(self._path(path), mode)

    def rmdir(self, path):
        os.rmdir(self._path(path))

    def unlink(self, path):
        os.unlink(self._path(path))

    def rename(self, old, new):
        if self.fault == "rename-over" and os.path.lexists(self._path(new)):
            raise FuseOSError(errno.EEXIST)
        os.rename(self._path(old), self._path(new))

    def link(self, target, source):
        os.link(self._path(source), self._path(target))

    def chmod(self, path, mode):
        os.chmod(self._path(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self._path(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self._path(path), times)

    def truncate(self, path, length, fh=None):
        os.truncate(self._path(path), length)

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_RDWR | os.O_CREAT | os.O_EXCL, mode)

    def open(self, path, flags):
        return os.open(self._path(path), flags & ~(os.O_CREAT | os.O_EXCL))

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        if self.fault == "short":
            os.pwrite(fh, data[: max(0, (1 << 20) - offset)], offset)
        elif self.fault in ("fsync", "close"):
            # Taken, but only the length arrives.
            if os.fstat(fh).st_size < offset + len(data):
                os.ftruncate(fh, offset + len(data))
            self.written.add(fh)
        else:
            if self.fault == "slow":
                time.sleep(len(data) / (20 << 20))
            os.pwrite(fh, data, offset)
        return len(data)

    def fsync(self, path, datasync, fh):
        if self.fault == "fsync" and fh in self.written:
            raise FuseOSError(errno.ENOSPC)
        return 0

    def flush(self, path, fh):
        if self.fault == "close" and fh in self.written:
            raise FuseOSError(errno.ENOSPC)
        return 0

    def release(self, path, fh):
        self.written.discard(fh)
        os.close(fh)


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in ("fsync", "close", "short", "rename-over", "slow"):
        sys.exit(__doc__)
    # No cached attributes: a size is always the share's own; the kernel checks access.
    FUSE(RefusingShare(sys.argv[1], sys.argv[2]), sys.argv[3], foreground=True, nothreads=True,
         attr_timeout=0, entry_timeout=0, default_permissions=True)
