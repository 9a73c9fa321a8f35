#include "serve/scpi_instrument.h"

#include <array>
#include <charconv>
#include <cmath>
#include <functional>
#include <vector>

#include "serve/scpi_header.h"

namespace meterlink {

namespace {

// Standard SCPI error numbers and texts.
constexpr int kDataTypeError = -104;
constexpr int kParameterNotAllowed = -108;
constexpr int kMissingParameter = -109;
constexpr int kUndefinedHeader = -113;
constexpr int kSettingsConflict = -221;
constexpr int kDataOutOfRange = -222;
constexpr int kDataStale = -230;
constexpr int kQueueOverflow = -350;

const char* errorText(int code) {
    switch (code) {
    case kDataTypeError: return "Data type error";
    case kParameterNotAllowed: return "Parameter not allowed";
    case kMissingParameter: return "Missing parameter";
    case kUndefinedHeader: return "Undefined header";
    case kSettingsConflict: return "Settings conflict";
    case kDataOutOfRange: return "Data out of range";
    case kDataStale: return "Data corrupt or stale";
    default: return "Error";
    }
}

// What the meter measures, as SCPI names it, from the decoder's function and
// the SI unit.
struct FunctionRule {
    const char* unit;
    const char* function;  // "" matches any other
    const char* scpi;
};

constexpr std::array<FunctionRule, 11> kFunctionRules{{
    {"V", "AC", "VOLT:AC"},
    {"V", "Diode", "DIOD"},
    {"V", "", "VOLT"},
    {"A", "AC", "CURR:AC"},
    {"A", "", "CURR"},
    {"\u03A9", "CTN", "CONT"},
    {"\u03A9", "", "RES"},
    {"F", "", "CAP"},
    {"Hz", "", "FREQ"},
    {"%", "", "DCYC"},
    {"\u00B0C", "", "TEMP"},
}};

std::string scpiFunction(const ScpiReading& r) {
    if (r.unit == "\u00B0F") return "TEMP";
    for (const auto& rule : kFunctionRules) {
        if (r.unit == rule.unit && (rule.function[0] == '\0' || r.function == rule.function)) return rule.scpi;
    }
    return "";
}

struct UnitName {
    const char* si;
    const char* scpi;
};

constexpr std::array<UnitName, 8> kUnitNames{{
    {"V", "V"}, {"A", "A"}, {"\u03A9", "OHM"}, {"F", "F"}, {"Hz", "HZ"}, {"\u00B0C", "CEL"}, {"\u00B0F", "FAR"}, {"%", "PCT"},
}};

struct MeasureHeader {
    const char* pattern;
    const char* function;
};

constexpr std::array<MeasureHeader, 11> kMeasureHeaders{{
    {"MEASure:VOLTage[:DC]?", "VOLT"},
    {"MEASure:VOLTage:AC?", "VOLT:AC"},
    {"MEASure:CURRent[:DC]?", "CURR"},
    {"MEASure:CURRent:AC?", "CURR:AC"},
    {"MEASure:RESistance?", "RES"},
    {"MEASure:CONTinuity?", "CONT"},
    {"MEASure:DIODe?", "DIOD"},
    {"MEASure:CAPacitance?", "CAP"},
    {"MEASure:FREQuency?", "FREQ"},
    {"MEASure:TEMPerature?", "TEMP"},
    {"MEASure:DCYCle?", "DCYC"},
}};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// Parameters separated by commas outside parentheses: "10,(@1,2)".
std::vector<std::string_view> parameters(std::string_view s) {
    std::vector<std::string_view> out;
    s = trim(s);
    if (s.empty()) return out;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i) {
        if (i < s.size() && s[i] == '(') ++depth;
        if (i < s.size() && s[i] == ')') --depth;
        if (i == s.size() || (s[i] == ',' && depth == 0)) {
            out.push_back(trim(s.substr(start, i - start)));
            start = i + 1;
        }
    }
    return out;
}

struct Failure {
    int code;
};

std::optional<long long> integer(std::string_view s) {
    long long v = 0;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

// "(@2)", "(@1,3)", "(@1:3)"
std::vector<int> channelList(std::string_view p, int channels) {
    if (p.size() < 4 || p.substr(0, 2) != "(@" || p.back() != ')') throw Failure{kDataTypeError};
    std::vector<int> out;
    std::string_view inner = p.substr(2, p.size() - 3);
    std::size_t start = 0;
    for (;;) {
        std::size_t comma = inner.find(',', start);
        std::string_view item = trim(inner.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        std::size_t colon = item.find(':');
        auto first = integer(trim(item.substr(0, colon)));
        auto last = colon == std::string_view::npos ? first : integer(trim(item.substr(colon + 1)));
        if (!first || !last) throw Failure{kDataTypeError};
        if (*first < 1 || *last > channels || *first > *last) throw Failure{kDataOutOfRange};
        if (*last - *first + out.size() > 1000) throw Failure{kDataOutOfRange};
        for (long long c = *first; c <= *last; ++c) out.push_back(int(c));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return out;
}

}  // namespace

std::string scpiNumber(double value) {
    if (std::isnan(value)) return "+9.91E+37";
    if (std::isinf(value)) return value > 0 ? "+9.9E+37" : "-9.9E+37";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 9);
    if (ec != std::errc()) return "+9.91E+37";
    std::string text(buffer, end);
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    if (text.front() != '-') text.insert(text.begin(), '+');
    return text;
}

ScpiInstrument::ScpiInstrument(const ScpiSource& source, std::string identity)
    : source_(source), identity_(std::move(identity)) {}

void ScpiInstrument::pushError(int code, const char* text) {
    if (errors_.size() >= kMaxErrors) {
        errors_.back() = {kQueueOverflow, "Queue overflow"};
        return;
    }
    errors_.emplace_back(code, text);
}

std::string ScpiInstrument::nextError() {
    if (errors_.empty()) return "+0,\"No error\"";
    auto [code, text] = errors_.front();
    errors_.pop_front();
    return std::to_string(code) + ",\"" + text + "\"";
}

std::optional<std::string> ScpiInstrument::execute(std::string_view line) {
    std::optional<std::string> reply;
    std::size_t start = 0;
    for (;;) {
        std::size_t semicolon = line.find(';', start);
        std::string_view text = trim(line.substr(start, semicolon == std::string_view::npos ? std::string_view::npos : semicolon - start));
        if (!text.empty()) {
            if (auto answer = command(text)) {
                if (reply) *reply += ';';
                else reply.emplace();
                *reply += *answer;
            }
        }
        if (semicolon == std::string_view::npos) break;
        start = semicolon + 1;
    }
    return reply;
}

std::optional<std::string> ScpiInstrument::command(std::string_view text) {
    std::size_t blank = text.find_first_of(" \t");
    std::string_view header = text.substr(0, blank);
    std::vector<std::string_view> params = parameters(blank == std::string_view::npos ? std::string_view() : text.substr(blank));
    const int channels = source_.channelCount();

    // The channels a query names in its last parameter, (@n), or channel 1.
    auto channelsOf = [&](std::size_t otherParams) {
        if (params.size() > otherParams + 1) throw Failure{kParameterNotAllowed};
        if (params.size() == otherParams + 1) return channelList(params.back(), channels);
        if (channels < 1) throw Failure{kDataStale};
        return std::vector<int>{1};
    };
    auto noParams = [&]() {
        if (!params.empty()) throw Failure{kParameterNotAllowed};
    };
    // A value to answer with: a stale or missing reading answers "not a
    // number" and queues an error, so a client is never left waiting.
    auto valueOf = [&](const ScpiReading& r) {
        if (!r.present) {
            pushError(kDataStale, errorText(kDataStale));
            return scpiNumber(NAN);
        }
        if (r.overload) return scpiNumber(r.negative ? -INFINITY : INFINITY);
        if (!r.hasValue) return scpiNumber(NAN);
        return scpiNumber(r.value);
    };
    auto joined = [&](const std::vector<int>& list, const std::function<std::string(int)>& each) {
        std::string out;
        for (int c : list) {
            if (!out.empty()) out += ',';
            out += each(c);
        }
        return out;
    };

    try {
        static const ScpiHeader idn("*IDN?"), rst("*RST"), cls("*CLS"), opc("*OPC?"), error("SYSTem:ERRor[:NEXT]?"),
            version("SYSTem:VERSion?"), read("READ?"), fetch("FETCh?"), function("[SENSe]:FUNCtion?"),
            configure("CONFigure?"), unit("UNIT?"), points("DATA:POINts?"), trace("TRACe:DATA?");
        if (idn.matches(header)) return noParams(), identity_;
        if (rst.matches(header)) return noParams(), std::nullopt;  // nothing of the meter's can be set from here
        if (cls.matches(header)) {
            noParams();
            errors_.clear();
            return std::nullopt;
        }
        if (opc.matches(header)) return noParams(), std::string("1");
        if (error.matches(header)) return noParams(), nextError();
        if (version.matches(header)) return noParams(), std::string("1999.0");
        if (read.matches(header) || fetch.matches(header))
            return joined(channelsOf(0), [&](int c) { return valueOf(source_.latest(c)); });
        if (function.matches(header) || configure.matches(header)) {
            bool conf = configure.matches(header);
            return joined(channelsOf(0), [&](int c) {
                ScpiReading r = source_.latest(c);
                std::string f = scpiFunction(r);
                if (f.empty()) pushError(kDataStale, errorText(kDataStale));
                return "\"" + f + (conf && !f.empty() ? " DEF,DEF" : "") + "\"";
            });
        }
        if (unit.matches(header)) {
            return joined(channelsOf(0), [&](int c) {
                ScpiReading r = source_.latest(c);
                for (const auto& u : kUnitNames) {
                    if (r.unit == u.si) return std::string(u.scpi);
                }
                if (r.unit.empty()) pushError(kDataStale, errorText(kDataStale));
                return r.unit;
            });
        }
        if (points.matches(header))
            return joined(channelsOf(0), [&](int c) { return std::to_string(source_.loggedRows(c)); });
        if (trace.matches(header)) {
            if (params.empty()) throw Failure{kMissingParameter};
            auto n = integer(params[0]);
            if (!n) throw Failure{kDataTypeError};
            if (*n < 1 || std::size_t(*n) > kMaxTracePoints) throw Failure{kDataOutOfRange};
            std::vector<int> list = channelsOf(1);
            if (list.size() != 1) throw Failure{kDataOutOfRange};
            std::string out;
            for (const auto& row : source_.lastRows(list[0], std::size_t(*n))) {
                if (!out.empty()) out += ',';
                out += row.overload ? scpiNumber(row.negative ? -INFINITY : INFINITY)
                                    : scpiNumber(row.hasValue ? row.value : NAN);
            }
            return out;
        }
        for (const auto& m : kMeasureHeaders) {
            if (!ScpiHeader(m.pattern).matches(header)) continue;
            return joined(channelsOf(0), [&](int c) {
                ScpiReading r = source_.latest(c);
                if (r.present && scpiFunction(r) != m.function) {
                    pushError(kSettingsConflict, errorText(kSettingsConflict));
                    return scpiNumber(NAN);
                }
                return valueOf(r);
            });
        }
        pushError(kUndefinedHeader, errorText(kUndefinedHeader));
    } catch (const Failure& failure) {
        pushError(failure.code, errorText(failure.code));
        // A query answers even so, so that the client does not wait for a
        // reply that never comes.
        if (!header.empty() && header.back() == '?') return scpiNumber(NAN);
    }
    return std::nullopt;
}

}  // namespace meterlink
