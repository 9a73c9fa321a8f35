#include "links/simulated_hid_platform.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <cerrno>
#include <chrono>

class SimulatedHidPlatform::Handle : public HidHandle {
public:
    Handle(std::shared_ptr<Shared> shared, Device device, HidAccess access, std::shared_ptr<Queue> queue)
        : shared_(std::move(shared)), device_(std::move(device)), access_(access), queue_(std::move(queue)) {}

    ~Handle() override {
        if (!queue_) return;
        std::lock_guard<std::mutex> lock(shared_->mutex);
        const auto it = shared_->devices.find(device_.identity);
        if (it == shared_->devices.end()) return;
        auto& readers = it->second.readers;
        readers.erase(std::remove(readers.begin(), readers.end(), queue_), readers.end());
    }

    bool canWrite() const override { return access_ == HidAccess::ReadWrite; }

    bool getAttributes(HidAttributes& attributes) override {
        if (!device_.identifiable) return false;
        attributes = device_.attributes;
        return true;
    }

    bool getProductString(std::u16string& text, std::size_t maxChars) override {
        text = device_.product.substr(0, maxChars - 1);
        return true;
    }

    bool getSerialNumberString(std::u16string& text, std::size_t maxChars) override {
        text = device_.serial.substr(0, maxChars - 1);
        return true;
    }

    bool getLanguageList(std::vector<std::uint16_t>& words) override {
        if (!device_.languagesReadable) return false;
        fillLanguageList(device_.languages, words);
        return true;
    }

    std::size_t inputReportLength() override { return device_.inputReportLength; }

    bool sendFeatureReport(const std::uint8_t* data, std::size_t size) override {
        if (access_ != HidAccess::ReadWrite) return false;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            const auto it = shared_->devices.find(device_.identity);
            if (it == shared_->devices.end()) return false;
            it->second.features.emplace_back(data, data + size);
        }
        if (device_.onFeature && !device_.onFeature(data, size)) return false;
        return device_.acceptsFeatures;
    }

    bool writeOutputReport(const std::uint8_t* data, std::size_t size) override {
        if (access_ != HidAccess::ReadWrite || !device_.onOutput) return false;
        {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            if (shared_->devices.count(device_.identity) == 0) return false;
        }
        device_.onOutput(data, size);
        return true;
    }

    HidReadResult read(std::uint8_t* data, std::size_t size, int timeoutMs) override {
        if (!queue_) return {-1, static_cast<std::uint32_t>(EBADF)};
        std::unique_lock<std::mutex> lock(shared_->mutex);
        shared_->reportQueued.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                       [this] { return !queue_->reports.empty() || queue_->gone; });
        if (queue_->reports.empty())
            return queue_->gone ? HidReadResult{-1, static_cast<std::uint32_t>(ENODEV)} : HidReadResult{};
        const std::vector<std::uint8_t> report = std::move(queue_->reports.front());
        queue_->reports.pop_front();
        const std::size_t n = std::min(size, report.size());
        std::copy_n(report.begin(), n, data);
        return {static_cast<int>(n), 0};
    }

private:
    std::shared_ptr<Shared> shared_;
    Device device_;
    HidAccess access_;
    std::shared_ptr<Queue> queue_;
};

class SimulatedHidPlatform::Watch : public HidChangeWatch {
public:
    Watch(SimulatedHidPlatform& platform, int id) : platform_(platform), id_(id) {}
    ~Watch() override {
        auto& w = platform_.watchers_;
        w.erase(std::remove_if(w.begin(), w.end(), [this](const auto& e) { return e.first == id_; }), w.end());
    }

private:
    SimulatedHidPlatform& platform_;
    int id_;
};

SimulatedHidPlatform::Device SimulatedHidPlatform::cable(std::string identity) {
    Device d;
    d.identity = std::move(identity);
    d.attributes = {0xFFFF, 0x0001, 0x0100};
    d.product = u"USB to Serial";
    return d;
}

SimulatedHidPlatform::SimulatedHidPlatform() : shared_(std::make_shared<Shared>()), alive_(std::make_shared<bool>(true)) {}

SimulatedHidPlatform::~SimulatedHidPlatform() = default;

QString SimulatedHidPlatform::name() const { return QStringLiteral("simulated"); }

void SimulatedHidPlatform::plug(Device device) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        const std::string id = device.identity;
        if (shared_->devices.count(id) == 0) shared_->order.push_back(id);
        shared_->devices[id].device = std::move(device);
    }
    notifyWatchers();
}

void SimulatedHidPlatform::unplug(const std::string& identity) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        const auto it = shared_->devices.find(identity);
        if (it == shared_->devices.end()) return;
        for (auto& queue : it->second.readers) queue->gone = true;
        shared_->devices.erase(it);
        auto& order = shared_->order;
        order.erase(std::remove(order.begin(), order.end(), identity), order.end());
    }
    shared_->reportQueued.notify_all();
    notifyWatchers();
}

void SimulatedHidPlatform::sendReport(const std::string& identity, const std::vector<std::uint8_t>& report) {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        const auto it = shared_->devices.find(identity);
        if (it == shared_->devices.end()) return;
        for (auto& queue : it->second.readers) queue->reports.push_back(report);
    }
    shared_->reportQueued.notify_all();
}

std::vector<std::vector<std::uint8_t>> SimulatedHidPlatform::featureReports(const std::string& identity) const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    const auto it = shared_->devices.find(identity);
    return it == shared_->devices.end() ? std::vector<std::vector<std::uint8_t>>{} : it->second.features;
}

int SimulatedHidPlatform::readers(const std::string& identity) const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    const auto it = shared_->devices.find(identity);
    return it == shared_->devices.end() ? 0 : static_cast<int>(it->second.readers.size());
}

int SimulatedHidPlatform::queuedReports(const std::string& identity) const {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    const auto it = shared_->devices.find(identity);
    int n = 0;
    if (it != shared_->devices.end())
        for (const auto& queue : it->second.readers) n += static_cast<int>(queue->reports.size());
    return n;
}

std::vector<THidPnPInfo> SimulatedHidPlatform::listInterfaces() {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    std::vector<THidPnPInfo> list;
    for (const std::string& id : shared_->order) list.push_back({"sim/" + id, id});
    return list;
}

std::unique_ptr<HidHandle> SimulatedHidPlatform::open(const THidPnPInfo& info, HidAccess access,
                                                      std::uint32_t* error) {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    auto fail = [error](int code) {
        if (error) *error = static_cast<std::uint32_t>(code);
        return nullptr;
    };
    const auto it = shared_->devices.find(info.DevInst);
    if (it == shared_->devices.end()) return fail(ENOENT);
    const Device& d = it->second.device;
    if (!d.opens) return fail(EACCES);
    if (access == HidAccess::ReadWrite && !d.readWrite) return fail(EACCES);
    if (access == HidAccess::Read && !d.readable) return fail(EACCES);
    std::shared_ptr<Queue> queue;
    if (access == HidAccess::Read) {
        queue = std::make_shared<Queue>();
        it->second.readers.push_back(queue);
    }
    return std::make_unique<Handle>(shared_, d, access, std::move(queue));
}

std::unique_ptr<HidChangeWatch> SimulatedHidPlatform::watchChanges(std::function<void()> onChange) {
    const int id = nextWatcher_++;
    watchers_.emplace_back(id, std::move(onChange));
    return std::make_unique<Watch>(*this, id);
}

void SimulatedHidPlatform::notifyWatchers() {
    // Like a system notification: heard from the event loop, not inside plug().
    std::weak_ptr<bool> alive = alive_;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, alive] {
            if (alive.expired()) return;
            const auto watchers = watchers_;
            for (const auto& [id, call] : watchers) call();
        },
        Qt::QueuedConnection);
}
