#pragma once
// The USB cable simulated by another process (meterlink-cli simulate --usb
// SOCKET), reached over a Unix-domain socket. The simulator shows as one HID
// interface while it runs; each of its runs is a new device, as a cable
// plugged in again is. POSIX only.

#include "links/hid_platform.h"

#include <string>

class SocketHidPlatform : public HidPlatform {
public:
    explicit SocketHidPlatform(std::string socketPath);

    QString name() const override;
    std::vector<THidPnPInfo> listInterfaces() override;
    std::unique_ptr<HidHandle> open(const THidPnPInfo& info, HidAccess access, std::uint32_t* error) override;
    // No system tells when the simulator comes or goes: a rescan every 2 s.
    std::unique_ptr<HidChangeWatch> watchChanges(std::function<void()> onChange) override;

private:
    std::string socketPath_;
};
