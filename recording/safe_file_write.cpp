#include "safe_file_write.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace meterlink {

namespace {

bool syncToDisk(int fd, QString& reason) {
#ifdef Q_OS_WIN
    const bool synced = _commit(fd) == 0;
#else
    const bool synced = ::fsync(fd) == 0;
#endif
    if (!synced) reason = QString::fromLocal8Bit(std::strerror(errno));
    return synced;
}

// systemError: errno as the failed write left it. A write that takes part of
// its bytes before the disk is full leaves Qt without an error of its own
// ("Unknown error"); errno still says why.
bool fail(QSaveFile& file, QString why, QString* reason, int systemError = 0) {
    if (why.isEmpty())
        why = file.error() == QFileDevice::NoError && systemError != 0
                  ? QString::fromLocal8Bit(std::strerror(systemError))
                  : file.errorString();
    if (reason) *reason = why;
    file.cancelWriting();
    return false;   // the destructor removes the temporary file
}

}  // namespace

bool writeFileSafely(const QString& fileName, const FileBodyWriter& write, QString* reason) {
    // A save replaces the file by renaming a new one onto it: a device or a
    // FIFO in its place would be replaced by a plain file (or, where the
    // folder may not be written, fail with a confusing reason).
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        if (reason) *reason = QStringLiteral("it is not a regular file (a folder, FIFO or device)");
        return false;
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (reason) *reason = file.errorString();
        return false;
    }
    QString why;
    errno = 0;
    if (!write(file, why)) return fail(file, why, reason, errno);
    // The commit flushes too, but does not check that flush: a small file
    // that still sits in the buffer would fail unseen on a full disk.
    errno = 0;
    if (!file.flush()) return fail(file, QString(), reason, errno);
    if (!syncToDisk(file.handle(), why)) return fail(file, why, reason);
    if (!file.commit()) {
        if (reason) *reason = file.errorString();
        return false;
    }
    return true;
}

}  // namespace meterlink
