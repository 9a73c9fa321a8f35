#pragma once
// A file written only at its end, each write handed to the system at once
// (a killed program loses nothing written) and synced to the disk by a
// background thread soon after, at most a second later (a power cut loses at
// most that second). The caller never waits for the disk.

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace meterlink {

class DurableAppendFile {
public:
    DurableAppendFile() = default;
    ~DurableAppendFile();
    DurableAppendFile(const DurableAppendFile&) = delete;
    DurableAppendFile& operator=(const DurableAppendFile&) = delete;

    // Opens (creating it if needed) for appending; false with error() set.
    bool open(const QString& path);
    bool isOpen() const { return fd_ >= 0; }
    // Writes all bytes at the end; false (with error() set) when the system
    // refused them, e.g. a full disk, and then none of them stays.
    bool append(const char* data, std::size_t size);
    // Cuts the file to `size` bytes.
    bool truncate(std::int64_t size);
    std::int64_t size() const;
    // Syncs what was written now, waiting for the disk; false when this or an
    // earlier sync failed.
    bool syncNow();
    // Syncs what was written and closes; false when the last sync failed.
    bool close();
    // A sync that failed in the background: the data may not be on disk.
    bool syncFailed() const { return syncFailed_.load(); }
    const QString& error() const { return error_; }

    // The time a write waits for others to share its sync; with the sync
    // itself, well under a second.
    static constexpr int kSyncDelayMs = 500;

private:
    void syncLoop();
    void requestSync();

    int fd_ = -1;
    QString error_;
    std::thread syncer_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool dirty_ = false;
    bool stopping_ = false;
    std::atomic<bool> syncFailed_{false};
};

}  // namespace meterlink
