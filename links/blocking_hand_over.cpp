#include "links/blocking_hand_over.h"

#include <QCoreApplication>
#include <QMetaObject>

std::shared_ptr<BlockingHandOver> BlockingHandOver::create() {
    return std::shared_ptr<BlockingHandOver>(new BlockingHandOver());
}

bool BlockingHandOver::run(const std::function<void()>& call) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) return false;
        call_ = &call;
        step_ = Step::Posted;
    }
    // A weak reference: a post still queued when the owner is gone does nothing.
    std::weak_ptr<BlockingHandOver> weak = weak_from_this();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [weak] {
            if (auto self = weak.lock()) self->serve();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return step_ == Step::Done || step_ == Step::Cancelled; });
    const bool ran = step_ == Step::Done;
    step_ = Step::Idle;
    call_ = nullptr;
    return ran;
}

void BlockingHandOver::serve() {
    const std::function<void()>* call = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (step_ != Step::Posted) return;   // cancelled meanwhile
        step_ = Step::Running;
        call = call_;
    }
    // The worker is released even if the call throws.
    struct Release {
        BlockingHandOver* self;
        ~Release() {
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->step_ = Step::Done;
            }
            self->done_.notify_one();
            if (self->afterRunning_) {
                auto then = std::move(self->afterRunning_);
                self->afterRunning_ = nullptr;
                then();
            }
        }
    };
    // Keeps this object alive through afterRunning_, which may drop the last owner.
    const auto keep = shared_from_this();
    Release release{this};
    (*call)();
}

void BlockingHandOver::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        if (step_ != Step::Posted) return;
        step_ = Step::Cancelled;
    }
    done_.notify_one();
}

bool BlockingHandOver::running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return step_ == Step::Running;
}

void BlockingHandOver::afterRunning(std::function<void()> then) {
    afterRunning_ = std::move(then);
}
