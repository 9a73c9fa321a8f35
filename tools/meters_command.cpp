// meterlink-cli meters: lists the meter table, as text for a terminal or as
// the Markdown table the README carries.
#include "meters_command.h"

#include "protocol/meter_table.h"

#include <algorithm>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <string>

namespace {

using meterlink::MeterModel;

void metersUsage(std::ostream& out) {
    out << "usage: meterlink-cli meters [--markdown]\n"
           "Lists the meters MeterLink reads, by maker: the MODEL name the other\n"
           "commands take, the protocol, the serial line settings, the poll command of\n"
           "meters that send only when asked, the full-scale count, the USB cable the\n"
           "meter is sold with (for the \"USB to Serial\" cable, the baud it is set\n"
           "to), and where the settings are documented.\n"
           "The first row is the default.\n"
           "  --markdown   print a Markdown table (the README's list is made with it)\n";
}

std::string pollText(const MeterModel& m) {
    if (m.line.pollCommand.empty()) return "-";
    const std::string_view poll = m.line.pollCommand;
    // A text request may end in a carriage return, shown as C does.
    const std::string_view body = poll.back() == '\r' ? poll.substr(0, poll.size() - 1) : poll;
    const bool text =
        !body.empty() && std::all_of(body.begin(), body.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
    std::string shown;
    if (text) {
        shown = "\"" + std::string(body) + (body.size() < poll.size() ? "\\r" : "") + "\"";
    } else {
        // A binary request is shown as its bytes, never written raw to a terminal or the README.
        static const char kHex[] = "0123456789ABCDEF";
        for (char c : poll) {
            const auto b = static_cast<unsigned char>(c);
            if (!shown.empty()) shown += ' ';
            shown += kHex[b >> 4];
            shown += kHex[b & 0x0F];
        }
    }
    return shown + " every " + std::to_string(m.line.pollIntervalMs) + " ms";
}

// The USB cable the meter is sold with; the "USB to Serial" cable with the
// baud it must be set to.
std::string cableText(const MeterModel& m) {
    if (m.cable == meterlink::Cable::Serial) return "-";
    std::string text(meterlink::cableName(m.cable));
    if (m.cableBaud) text += " " + std::to_string(m.cableBaud);
    return text;
}

std::string makerText(const MeterModel& m) { return m.maker.empty() ? "(default)" : std::string(m.maker); }

void printText() {
    std::cout << std::left << std::setw(26) << "METER" << std::setw(15) << "PROTOCOL" << std::setw(11) << "LINE"
              << std::setw(31) << "POLL" << std::setw(7) << "COUNT" << std::setw(13) << "CABLE" << "SOURCE\n";
    for (const MeterModel& m : meterlink::meterTable())
        std::cout << std::setw(26) << meterlink::meterName(m) << std::setw(15) << meterlink::protocolName(m.protocol)
                  << std::setw(11) << meterlink::lineText(m.line) << std::setw(31) << pollText(m) << std::setw(7)
                  << m.fullCount << std::setw(13) << cableText(m) << m.source << '\n';
}

void printMarkdown() {
    std::cout << "| Maker | Model | Protocol | Line | Asked with | Counts | USB cable | Source |\n"
                 "|---|---|---|---|---|---|---|---|\n";
    for (const MeterModel& m : meterlink::meterTable())
        std::cout << "| " << makerText(m) << " | " << m.model << " | " << meterlink::protocolName(m.protocol) << " | "
                  << meterlink::lineText(m.line) << " | " << pollText(m) << " | " << m.fullCount << " | "
                  << cableText(m) << " | " << m.source << " |\n";
}

}  // namespace

int runMeters(int argc, char** argv) {
    bool markdown = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--markdown") == 0) {
            markdown = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            metersUsage(std::cout);
            return 0;
        } else {
            std::cerr << "meterlink-cli meters: unknown argument '" << argv[i] << "'\n";
            metersUsage(std::cerr);
            return 2;
        }
    }
    if (markdown) printMarkdown();
    else printText();
    return 0;
}
