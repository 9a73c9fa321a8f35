#include "decode_command.h"

#include "protocol/limit_value.h"

#include "protocol/frameless_bytes_watch.h"
#include "protocol/reading_pipeline.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <utility>

namespace {

using meterlink::ReadingPipeline;

void decodeUsage(std::ostream& out) {
    out << "usage: meterlink-cli decode [--meter MODEL] [--high X] [--low Y] [--separator C] [FILE]\n"
           "Reads the meter's raw byte stream from FILE (or standard input) and prints one\n"
           "line per accepted frame, fields separated by TAB:\n"
           "  ValueText FunctionText UnitText AutoText ReadingValue ChartValue\n"
           "  AxisMaximum FullCount JudgeText\n"
           "Limits default to 6000 and -6000; the separator (default '.') is the decimal\n"
           "separator the values and limits are written with. --meter reads that meter's\n"
           "protocol (default the shipped meter; meterlink-cli meters lists them).\n";
}

void appendInteger(std::string& out, double v) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(v));
    out.append(buf, res.ptr);
}

void appendFixed(std::string& out, double v, int decimals) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    out.append(buf, res.ptr);
}

void printReading(const ReadingPipeline& p, std::string& line) {
    const meterlink::MeterReading& r = p.reading();
    line.clear();
    line += r.ValueText;
    line += '\t';
    line += r.FunctionText;
    line += '\t';
    line += r.UnitText;
    line += '\t';
    line += r.AutoText;
    line += '\t';
    appendInteger(line, r.ReadingValue);
    line += '\t';
    appendFixed(line, r.ChartValue, p.decoder().lastScale().factorDecimals);
    line += '\t';
    // Meters whose range ends below a whole unit (2.2 V) show the axis with the value's decimals.
    const double axis = p.decoder().axis().maximum;
    if (axis == static_cast<double>(static_cast<long long>(axis))) appendInteger(line, axis);
    else appendFixed(line, axis, p.decoder().lastScale().factorDecimals);
    line += '\t';
    appendInteger(line, r.FullCount);
    line += '\t';
    line += r.JudgeText;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stdout);
}

// The separator must be one character (UTF-8) that no number can contain,
// or values and limits could be read two ways.
bool usableSeparator(const std::string& sep) {
    if (sep.empty()) return false;
    const auto lead = static_cast<unsigned char>(sep[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length != sep.size()) return false;
    for (std::size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(sep[i]) & 0xC0) != 0x80) return false;
    if (length > 1) return true;
    const char c = sep[0];
    const bool partOfNumber = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' || c == 'E';
    return !partOfNumber && c > ' ' && c != 0x7F;
}

}  // namespace

int runDecode(int argc, char** argv) {
    ReadingPipeline::Settings settings;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                std::cerr << "meterlink-cli decode: " << name << " needs a value\n";
                return nullptr;
            }
            return argv[++i];
        };
        if (arg == "--meter") {
            const char* v = value("--meter");
            if (!v) return 2;
            settings.meter = meterlink::findMeter(v);
            if (!settings.meter) {
                std::cerr << "meterlink-cli decode: unknown meter '" << v << "'; meterlink-cli meters lists them\n";
                return 2;
            }
        } else if (arg == "--high" || arg == "--low" || arg == "--separator") {
            const char* v = value(arg.c_str());
            if (!v) return 2;
            if (arg == "--high") settings.highLimit = v;
            else if (arg == "--low") settings.lowLimit = v;
            else if (*v == '\0') {
                std::cerr << "meterlink-cli decode: --separator must not be empty\n";
                return 2;
            } else if (!usableSeparator(v)) {
                std::cerr << "meterlink-cli decode: --separator must be one character that is not part of a "
                             "number (no digit, sign, exponent or blank)\n";
                return 2;
            } else settings.decimalSep = v;
        } else if (arg == "--help" || arg == "-h") {
            decodeUsage(std::cout);
            return 0;
        } else if (arg != "-" && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "meterlink-cli decode: unknown option '" << arg << "'\n";
            decodeUsage(std::cerr);
            return 2;
        } else if (path) {
            std::cerr << "meterlink-cli decode: only one FILE may be given\n";
            return 2;
        } else {
            path = argv[i];
        }
    }

    // Checked once the separator is known, whatever the order of the options,
    // and after the fix-up every frame applies to the limits (2.5 is 2,5 when
    // the separator is a comma). A limit that is not a number would silently
    // judge nothing.
    const std::pair<const char*, const std::string*> limits[] = {{"--high", &settings.highLimit},
                                                                 {"--low", &settings.lowLimit}};
    for (const auto& [name, text] : limits) {
        std::string fixed = *text;
        meterlink::fixSeparator(fixed, settings.decimalSep);
        if (!meterlink::parseLimit(fixed, settings.decimalSep).valid) {
            std::cerr << "meterlink-cli decode: " << name << " wants a number written with the decimal separator '"
                      << settings.decimalSep << "', optionally with a unit such as V, mV or k\n";
            return 2;
        }
    }

    std::FILE* in = stdin;
    const bool fromFile = path && std::strcmp(path, "-") != 0;
    if (fromFile) {
        in = std::fopen(path, "rb");
        if (!in) {
            std::cerr << "meterlink-cli decode: cannot read " << path << ": " << std::strerror(errno) << "\n";
            return 2;
        }
    }

    std::string line;
    ReadingPipeline pipeline(settings, [&line](const ReadingPipeline& p) { printReading(p, line); });
    unsigned char buf[4096];
    bool readError = false;
    // A 7-bit meter's bytes read through an 8-bit port or the USB cable carry
    // the parity bit as bit 7.
    const meterlink::MeterModel& meter = settings.meter ? *settings.meter : meterlink::defaultMeter();
    const bool sevenBitLine = meter.line.dataBits == 7;
    std::size_t total = 0;
    for (;;) {
        const std::size_t n = std::fread(buf, 1, sizeof buf, in);
        if (sevenBitLine)
            for (std::size_t i = 0; i < n; ++i) buf[i] &= 0x7F;
        total += n;
        if (n > 0) pipeline.feed(buf, n);
        if (n < sizeof buf) {
            readError = std::ferror(in) != 0;
            break;
        }
    }
    const int readErrno = errno;
    if (fromFile) std::fclose(in);
    std::fflush(stdout);
    if (readError) {
        std::cerr << "meterlink-cli decode: cannot read " << (fromFile ? path : "standard input") << ": "
                  << std::strerror(readErrno) << "\n";
        return 2;
    }
    std::cerr << pipeline.decodedCount() << " frames decoded, " << pipeline.rejectedCount() << " rejected\n";
    if (pipeline.decodedCount() == 0 && total > 0)
        std::cerr << meterlink::framelessBytesNotice(meterlink::meterName(meter)) << '\n';
    return 0;
}
