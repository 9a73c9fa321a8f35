#pragma once
// Runs a call from a worker thread on the application's main (GUI) thread and
// blocks the worker until the call has returned, so the worker's buffers stay
// valid for the call and the GUI side needs no locks.
//
// Unlike a blocking queued connection it can be closed from the GUI thread:
// a call that is posted but has not started is cancelled and the worker
// returns at once, so a GUI thread that waits for the worker to end never
// waits on itself.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class BlockingHandOver : public std::enable_shared_from_this<BlockingHandOver> {
public:
    static std::shared_ptr<BlockingHandOver> create();
    BlockingHandOver(const BlockingHandOver&) = delete;
    BlockingHandOver& operator=(const BlockingHandOver&) = delete;

    // Worker side. True once call has run on the GUI thread; false, without
    // running it, when the hand-over is or gets closed first.
    bool run(const std::function<void()>& call);

    // GUI side. Refuses every later call and cancels one not yet started.
    void close();
    // GUI side. True while a call runs, that is when the caller is inside it.
    bool running() const;
    // GUI side, only while running(): then() runs right after the running call.
    void afterRunning(std::function<void()> then);

private:
    BlockingHandOver() = default;
    void serve();

    enum class Step { Idle, Posted, Running, Done, Cancelled };

    mutable std::mutex mutex_;
    std::condition_variable done_;
    Step step_ = Step::Idle;
    bool closed_ = false;
    const std::function<void()>* call_ = nullptr;
    std::function<void()> afterRunning_;   // GUI thread only
};
