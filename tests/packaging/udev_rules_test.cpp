// The udev rules and the software-centre data name every meter cable the
// program recognises, so a new cable id cannot be left out of the package.
#include "links/usb_cable_ids.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string readFile(const char* path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string hex4(unsigned v, bool upper) {
    char buf[8];
    std::snprintf(buf, sizeof buf, upper ? "%04X" : "%04x", v);
    return buf;
}

class CableRules : public ::testing::TestWithParam<meterlink::UsbCableId> {};

TEST_P(CableRules, the_logged_in_user_may_open_the_cable) {
    const auto& id = GetParam();
    const std::string rules = readFile(METERLINK_UDEV_RULES);
    const std::string rule = "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"" + hex4(id.vendorId, false) +
                             "\", ATTRS{idProduct}==\"" + hex4(id.productId, false) + "\", TAG+=\"uaccess\"";
    EXPECT_NE(rules.find(rule + "\n"), std::string::npos) << rule;
}

TEST_P(CableRules, the_software_centre_knows_the_cable) {
    const auto& id = GetParam();
    const std::string alias = "<modalias>usb:v" + hex4(id.vendorId, true) + "p" + hex4(id.productId, true) + "d*</modalias>";
    EXPECT_NE(readFile(METERLINK_METAINFO).find(alias), std::string::npos) << alias;
}

INSTANTIATE_TEST_SUITE_P(Cables, CableRules, ::testing::ValuesIn(meterlink::kUsbCableIds),
                         [](const auto& tp) { return hex4(tp.param.vendorId, false) + "_" + hex4(tp.param.productId, false); });

}  // namespace
