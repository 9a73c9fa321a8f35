#include "durable_append_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <share.h>
#else
#include <unistd.h>
#endif

namespace meterlink {

namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// The few file calls this class makes, on POSIX and on the Windows C runtime.
#ifdef _WIN32
int openForAppend(const QString& path) {
    int fd = -1;
    _wsopen_s(&fd, reinterpret_cast<const wchar_t*>(path.utf16()), _O_WRONLY | _O_CREAT | _O_APPEND | _O_BINARY |
              _O_NOINHERIT, _SH_DENYNO, _S_IREAD | _S_IWRITE);
    return fd;
}
long long writeSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
int cutTo(int fd, std::int64_t size) { return _chsize_s(fd, size) == 0 ? 0 : -1; }
std::int64_t sizeOf(int fd) {
    struct _stat64 st {};
    return _fstat64(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}
int dataSync(int fd) { return _commit(fd); }
void closeFile(int fd) { _close(fd); }
#else
int openForAppend(const QString& path) {
    return ::open(path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}
long long writeSome(int fd, const char* data, std::size_t size) { return ::write(fd, data, size); }
int cutTo(int fd, std::int64_t size) { return ::ftruncate(fd, static_cast<off_t>(size)); }
std::int64_t sizeOf(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}
int dataSync(int fd) {
#if defined(__linux__)
    return ::fdatasync(fd);
#else
    return ::fsync(fd);
#endif
}
void closeFile(int fd) { ::close(fd); }
#endif

}  // namespace

DurableAppendFile::~DurableAppendFile() { close(); }

bool DurableAppendFile::open(const QString& path) {
    close();
    fd_ = openForAppend(path);
    if (fd_ < 0) {
        error_ = systemError(errno);
        return false;
    }
    stopping_ = false;
    dirty_ = false;
    syncFailed_ = false;
    syncer_ = std::thread([this] { syncLoop(); });
    return true;
}

bool DurableAppendFile::append(const char* data, std::size_t size) {
    if (fd_ < 0) return false;
    std::size_t written = 0;
    while (written < size) {
        const long long n = writeSome(fd_, data + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = systemError(n < 0 ? errno : ENOSPC);
            // A full disk may take part of a line: cut it off again, so that
            // the file ends with its last whole line and loads.
            if (written > 0) {
                const std::int64_t end = this->size();
                if (end >= static_cast<std::int64_t>(written))
                    (void)cutTo(fd_, end - static_cast<std::int64_t>(written));
            }
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    requestSync();
    return true;
}

bool DurableAppendFile::truncate(std::int64_t size) {
    if (fd_ < 0) return false;
    if (cutTo(fd_, size) != 0) {
        error_ = systemError(errno);
        return false;
    }
    requestSync();
    return true;
}

std::int64_t DurableAppendFile::size() const {
    return fd_ >= 0 ? sizeOf(fd_) : -1;
}

void DurableAppendFile::requestSync() {
    bool wasDirty = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        wasDirty = dirty_;
        dirty_ = true;
    }
    // A sync is already due: waking the thread again would only cost a
    // context switch per row.
    if (!wasDirty) wake_.notify_one();
}

void DurableAppendFile::syncLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return dirty_ || stopping_; });
        if (!dirty_ && stopping_) return;
        // Writes that come meanwhile share this sync instead of one sync each:
        // logging a few rows a second costs a sync or two a second.
        wake_.wait_for(lock, std::chrono::milliseconds(kSyncDelayMs), [this] { return stopping_; });
        dirty_ = false;
        lock.unlock();
        if (dataSync(fd_) != 0) syncFailed_ = true;
        lock.lock();
    }
}

bool DurableAppendFile::syncNow() {
    if (fd_ < 0) return false;
    if (dataSync(fd_) != 0) {
        error_ = systemError(errno);
        syncFailed_ = true;
    }
    return !syncFailed_;
}

bool DurableAppendFile::close() {
    if (fd_ < 0) return true;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    syncer_.join();
    bool ok = !syncFailed_;
    if (dataSync(fd_) != 0) ok = false;
    closeFile(fd_);
    fd_ = -1;
    return ok;
}

}  // namespace meterlink
