#include "links/hid_report_descriptor.h"

#include <algorithm>
#include <map>
#include <vector>

namespace {

enum ItemType : unsigned { kMain = 0, kGlobal = 1 };
enum MainTag : unsigned { kInput = 0x8 };
enum GlobalTag : unsigned { kReportSize = 0x7, kReportId = 0x8, kReportCount = 0x9, kPush = 0xA, kPop = 0xB };
constexpr std::uint8_t kLongItem = 0xFE;

struct Globals {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

}  // namespace

HidInputReportLayout parseInputReportLayout(const std::uint8_t* d, std::size_t size) {
    HidInputReportLayout layout;
    Globals g;
    std::vector<Globals> stack;
    std::map<std::uint32_t, std::uint64_t> inputBits;   // per report ID

    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t prefix = d[i];
        if (prefix == kLongItem) {
            if (i + 1 >= size) break;
            i += 3 + d[i + 1];
            continue;
        }
        const std::size_t dataSize = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        if (i + 1 + dataSize > size) break;
        std::uint32_t value = 0;
        for (std::size_t k = 0; k < dataSize; ++k) value |= static_cast<std::uint32_t>(d[i + 1 + k]) << (8 * k);
        const unsigned type = (prefix >> 2) & 0x3;
        const unsigned tag = prefix >> 4;
        if (type == kGlobal) {
            switch (tag) {
            case kReportSize: g.reportSize = value; break;
            case kReportCount: g.reportCount = value; break;
            case kReportId:
                g.reportId = value;
                layout.numbered = true;
                break;
            case kPush: stack.push_back(g); break;
            case kPop:
                if (!stack.empty()) {
                    g = stack.back();
                    stack.pop_back();
                }
                break;
            default: break;
            }
        } else if (type == kMain && tag == kInput) {
            inputBits[g.reportId] += static_cast<std::uint64_t>(g.reportSize) * g.reportCount;
        }
        i += 1 + dataSize;
    }
    for (const auto& [id, bits] : inputBits)
        layout.inputLength = std::max(layout.inputLength, static_cast<std::size_t>((bits + 7) / 8) + 1);
    return layout;
}
