#pragma once
// One client's view of MeterLink as a SCPI instrument: reads command lines,
// answers queries from a ScpiSource and keeps the client's error queue.
// Plain C++; the server gives each connection its own.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "serve/scpi_source.h"

namespace meterlink {

class ScpiInstrument {
public:
    static constexpr std::size_t kMaxErrors = 20;
    static constexpr std::size_t kMaxTracePoints = 100000;

    // identity: the answer to *IDN?, "maker,model,serial,version".
    ScpiInstrument(const ScpiSource& source, std::string identity);

    // One line without its newline; commands in it are separated by ";".
    // The reply line (answers joined by ";"), or nothing when no query answered.
    std::optional<std::string> execute(std::string_view line);

    // Queues an error; the server adds its own (a line too long).
    void pushError(int code, const char* text);
    std::size_t errorCount() const { return errors_.size(); }

private:
    std::optional<std::string> command(std::string_view text);
    std::string nextError();

    const ScpiSource& source_;
    std::string identity_;
    std::deque<std::pair<int, std::string>> errors_;
};

// Formats a value as SCPI's <NR3>: "+1.234500000E+00"; overloads as
// +/-9.9E+37, no value as 9.91E+37 (SCPI's "not a number").
std::string scpiNumber(double value);

}  // namespace meterlink
