#include "safe_file_write.h"

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

bool fail(QSaveFile& file, QString why, QString* reason) {
    if (why.isEmpty()) why = file.errorString();
    if (reason) *reason = why;
    file.cancelWriting();
    return false;   // the destructor removes the temporary file
}

}  // namespace

bool writeFileSafely(const QString& fileName, const FileBodyWriter& write, QString* reason) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        if (reason) *reason = file.errorString();
        return false;
    }
    QString why;
    if (!write(file, why)) return fail(file, why, reason);
    // The commit flushes too, but does not check that flush: a small file
    // that still sits in the buffer would fail unseen on a full disk.
    if (!file.flush()) return fail(file, QString(), reason);
    if (!syncToDisk(file.handle(), why)) return fail(file, why, reason);
    if (!file.commit()) {
        if (reason) *reason = file.errorString();
        return false;
    }
    return true;
}

}  // namespace meterlink
