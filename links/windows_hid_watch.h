#pragma once
// Windows: every device-node change reaches the application's windows as a
// device-change message; the watch runs the reconciliation on each and lets
// the message go on. Built only on Windows.

#include "links/hid_platform.h"

#include <QAbstractNativeEventFilter>

#include <functional>

class WindowsHidWatch : public HidChangeWatch, public QAbstractNativeEventFilter {
public:
    explicit WindowsHidWatch(std::function<void()> onChange);
    ~WindowsHidWatch() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<void()> onChange_;
};
