#include "durable_append_file.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace meterlink {

namespace {

QString systemError(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

int dataSync(int fd) {
#if defined(__linux__)
    return ::fdatasync(fd);
#else
    return ::fsync(fd);
#endif
}

}  // namespace

DurableAppendFile::~DurableAppendFile() { close(); }

bool DurableAppendFile::open(const QString& path) {
    close();
    const QByteArray name = path.toLocal8Bit();
    fd_ = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
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
        const ssize_t n = ::write(fd_, data + written, size - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = systemError(n < 0 ? errno : ENOSPC);
            // A full disk may take part of a line: cut it off again, so that
            // the file ends with its last whole line and loads.
            if (written > 0) {
                const std::int64_t end = this->size();
                if (end >= static_cast<std::int64_t>(written))
                    (void)::ftruncate(fd_, static_cast<off_t>(end - static_cast<std::int64_t>(written)));
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
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        error_ = systemError(errno);
        return false;
    }
    requestSync();
    return true;
}

std::int64_t DurableAppendFile::size() const {
    struct stat st {};
    return fd_ >= 0 && ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
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
    ::close(fd_);
    fd_ = -1;
    return ok;
}

}  // namespace meterlink
