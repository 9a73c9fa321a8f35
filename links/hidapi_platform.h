#pragma once
// The system's HID interfaces through hidapi (the hidraw back end on Linux).
//
// hidapi hands out reports without a report ID byte when a device does not
// number its reports; reads here put the 0 back in front, so every report
// starts with its ID on every system. The report layout comes from the
// report descriptor (sysfs on Linux); where that cannot be read, a device is
// taken as unnumbered with reports of up to 64 bytes.

#include "links/hid_platform.h"

#include <map>
#include <memory>
#include <mutex>

class HidapiPlatform : public HidPlatform {
public:
    HidapiPlatform();
    ~HidapiPlatform() override;

    // False when hidapi could not start; nothing is listed then.
    bool started() const { return started_; }

    QString name() const override;
    std::vector<THidPnPInfo> listInterfaces() override;
    // ReadWrite and Read open the device; QueryOnly serves what the last
    // listing learnt of it, for devices this user may not open.
    std::unique_ptr<HidHandle> open(const THidPnPInfo& info, HidAccess access, std::uint32_t* error) override;
    std::unique_ptr<HidChangeWatch> watchChanges(std::function<void()> onChange) override;
    bool serialMayBeLanguageList() const override;

    // What a listing learnt of an interface.
    struct Listed {
        HidAttributes attributes;
        std::u16string product;
        std::u16string serial;
    };

private:
    bool started_ = false;
    // hidapi's calls that touch shared state (listing, opening, closing) are
    // made one at a time; reads and feature reports use their own handle.
    std::shared_ptr<std::mutex> mutex_;
    std::map<std::string, Listed> listed_;   // by path
};
