#pragma once
// The HID platform the program uses: the system's (hidapi), or, when
// METERLINK_HID is "sim:SOCKET", the cable that `meterlink-cli simulate --usb
// SOCKET` plays on that socket.

#include "links/hid_platform.h"

#include <memory>

std::shared_ptr<HidPlatform> createHidPlatform();
