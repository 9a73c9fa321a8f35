#pragma once
// The HID layer's event types and its exception. An event is a callable with
// an identity: copies of one handler compare equal, so the controller can tell
// which devices still carry its own handler when it is replaced.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

class THidDevice;
class THidDeviceController;

template <class Signature>
class HidEvent;

template <class R, class... Args>
class HidEvent<R(Args...)> {
public:
    HidEvent() = default;
    HidEvent(std::nullptr_t) {}
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, HidEvent> &&
                                                std::is_invocable_r_v<R, F&, Args...>>>
    HidEvent(F f) : fn_(std::make_shared<const std::function<R(Args...)>>(std::move(f))) {}

    explicit operator bool() const { return fn_ != nullptr; }
    R operator()(Args... args) const { return (*fn_)(std::forward<Args>(args)...); }
    bool operator==(const HidEvent& other) const { return fn_ == other.fn_; }
    bool operator!=(const HidEvent& other) const { return fn_ != other.fn_; }

private:
    std::shared_ptr<const std::function<R(Args...)>> fn_;
};

using THidPlugEvent = HidEvent<void(THidDevice* HidDev)>;
// True to go on with the next device.
using THidEnumerateEvent = HidEvent<bool(THidDevice* HidDev, int Idx)>;
// Data points at the report's bytes after its ID; valid during the call only.
using THidDataEvent = HidEvent<void(THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data,
                                    std::uint16_t Size)>;
using THidDataErrorEvent = HidEvent<void(THidDevice* HidDev, std::uint32_t Error)>;
using TNotifyEvent = HidEvent<void(THidDeviceController* Sender)>;

class EControllerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
