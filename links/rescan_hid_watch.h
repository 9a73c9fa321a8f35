#pragma once
// Where the system tells nothing of devices coming and going: look again
// every 2 seconds. The reconciliation finds out whether anything changed.

#include "links/hid_platform.h"

#include <QTimer>

#include <functional>

class RescanHidWatch : public HidChangeWatch {
public:
    static constexpr int kIntervalMs = 2000;

    explicit RescanHidWatch(std::function<void()> onChange) {
        QObject::connect(&timer_, &QTimer::timeout, [call = std::move(onChange)] { call(); });
        timer_.start(kIntervalMs);
    }

private:
    QTimer timer_;
};
