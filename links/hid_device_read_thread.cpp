#include "links/hid_device_read_thread.h"

#include "links/blocking_hand_over.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// Everything the worker uses lives here, shared with the owner, so that a
// stop from inside one of this thread's own hand-overs can leave the join to
// the end of that hand-over without anything going away under the worker.
struct THidDeviceReadThread::Loop {
    std::shared_ptr<HidPlatform> platform;
    THidPnPInfo info;
    std::atomic<int> sleepSlice;
    std::atomic<bool> terminate{false};
    std::mutex wakeMutex;
    std::condition_variable wake;
    std::shared_ptr<BlockingHandOver> handOver = BlockingHandOver::create();

    // Worker-owned while it runs; read by the GUI thread only inside a hand-over.
    std::vector<std::uint8_t> ReportBuffer;
    int BytesRead = 0;
    std::uint32_t ReadError = 0;
    // Reports waiting to go with the next hand-over, each in a slot of the
    // report length, and their sizes.
    QuietReport quiet = nullptr;
    std::vector<std::uint8_t> waiting;
    std::vector<int> waitingSizes;
    std::chrono::steady_clock::time_point firstWaiting;
    bool lastWasQuiet = false;

    ReportSink onReport;
    std::function<void()> deliverReports;
    std::function<void()> deliverError;
    std::thread thread;

    void body();
    // The report just read: waits if it may, else goes with those waiting.
    void offer();
    // Hands over the waiting reports, and the one just read when withCurrent.
    void handOverReports(bool withCurrent);
    bool waitedLongEnough() const;
    // Sleeps ms; false when termination was asked meanwhile.
    bool pause(int ms);
};

void THidDeviceReadThread::Loop::body() {
    std::unique_ptr<HidHandle> handle;
    while (!terminate) {
        std::fill(ReportBuffer.begin(), ReportBuffer.end(), std::uint8_t{0});
        HidReadResult result;
        if (!handle) {
            std::uint32_t error = 0;
            handle = platform->open(info, HidAccess::Read, &error);
            if (!handle) result = {-1, error != 0 ? error : static_cast<std::uint32_t>(EIO)};
        }
        // A device that reports all the time is read at a pace: its reports
        // queue up in the system during a pause and are read together,
        // without waiting, one wake-up for several of them.
        const bool paced = quiet != nullptr;
        if (handle)
            result = handle->read(ReportBuffer.data(), ReportBuffer.size(), paced ? 0 : sleepSlice.load());
        if (result.bytes < 0) {
            // A handle that failed once is opened afresh; a device that has
            // gone then fails at the open, once a slice, until it is unplugged.
            handle.reset();
            if (!waitingSizes.empty()) handOverReports(false);
            ReadError = result.error;
            handOver->run(deliverError);
            if (!pause(sleepSlice.load())) break;
            continue;
        }
        if (terminate) break;
        BytesRead = result.bytes;
        if (BytesRead > 0) {
            offer();
            continue;
        }
        if (!waitingSizes.empty() && waitedLongEnough()) handOverReports(false);
        if (paced && !pause(std::min(kPaceMs, sleepSlice.load()))) break;
    }
}

bool THidDeviceReadThread::Loop::waitedLongEnough() const {
    return std::chrono::steady_clock::now() - firstWaiting >= std::chrono::milliseconds(kQuietWaitMs);
}

void THidDeviceReadThread::Loop::offer() {
    const auto size = static_cast<std::uint16_t>(BytesRead - 1);
    const bool isQuiet = quiet && quiet(ReportBuffer.data() + 1, size);
    // The quiet report that ends a burst of others is the one whose handling
    // shows something (the meter's frame): it goes at once, the rest may wait.
    const bool endsBurst = isQuiet && !lastWasQuiet;
    const bool mayWait = quiet && !endsBurst && waitingSizes.size() < kQuietBatch;
    lastWasQuiet = isQuiet;
    if (!mayWait) {
        handOverReports(true);
        return;
    }
    if (waitingSizes.empty()) firstWaiting = std::chrono::steady_clock::now();
    const std::size_t slot = ReportBuffer.size();
    waiting.resize((waitingSizes.size() + 1) * slot);
    std::copy_n(ReportBuffer.begin(), BytesRead, waiting.end() - static_cast<std::ptrdiff_t>(slot));
    waitingSizes.push_back(BytesRead);
    if (waitedLongEnough()) handOverReports(false);
}

void THidDeviceReadThread::Loop::handOverReports(bool withCurrent) {
    if (!withCurrent) BytesRead = 0;
    handOver->run(deliverReports);
    waiting.clear();
    waitingSizes.clear();
}

bool THidDeviceReadThread::Loop::pause(int ms) {
    std::unique_lock<std::mutex> lock(wakeMutex);
    return !wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return terminate.load(); });
}

THidDeviceReadThread::THidDeviceReadThread(std::shared_ptr<HidPlatform> platform, THidPnPInfo info,
                                           std::size_t reportLength, int sleepSlice, ReportSink onReport,
                                           ErrorSink onError, QuietReport quiet)
    : loop_(std::make_shared<Loop>()) {
    Loop& loop = *loop_;
    loop.platform = std::move(platform);
    loop.info = std::move(info);
    loop.sleepSlice = sleepSlice;
    loop.ReportBuffer.assign(reportLength, 0);
    loop.quiet = quiet;
    loop.onReport = std::move(onReport);
    Loop* raw = loop_.get();
    // On the GUI thread: the reports that waited, in order, then the one just
    // read (when BytesRead says there is one). A handler that stops the
    // reading (or lets the device go) hears no more of them.
    loop.deliverReports = [raw] {
        const std::size_t slot = raw->ReportBuffer.size();
        for (std::size_t i = 0; i < raw->waitingSizes.size(); ++i) {
            if (raw->terminate) return;
            const std::uint8_t* report = raw->waiting.data() + i * slot;
            raw->onReport(report[0], report + 1, static_cast<std::uint16_t>(raw->waitingSizes[i] - 1));
        }
        if (raw->BytesRead > 0 && !raw->terminate) {
            const std::uint8_t* buffer = raw->ReportBuffer.data();
            raw->onReport(buffer[0], buffer + 1, static_cast<std::uint16_t>(raw->BytesRead - 1));
        }
    };
    loop.deliverError = [raw, onError = std::move(onError)] { onError(raw->ReadError); };
    loop.thread = std::thread([raw] { raw->body(); });
}

THidDeviceReadThread::~THidDeviceReadThread() {
    {
        std::lock_guard<std::mutex> lock(loop_->wakeMutex);
        loop_->terminate = true;
    }
    loop_->wake.notify_all();
    loop_->handOver->close();
    if (loop_->handOver->running()) {
        // Stopped from inside one of this thread's own hand-overs: the worker
        // is blocked until that call returns, so it is joined right after.
        auto loop = loop_;
        loop_->handOver->afterRunning([loop] { loop->thread.join(); });
        return;
    }
    loop_->thread.join();
}

void THidDeviceReadThread::setSleepSlice(int ms) {
    loop_->sleepSlice = ms;
}
