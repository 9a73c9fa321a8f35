#include "meter_scenario.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace meterlink {

namespace {

struct TourEntry {
    const char* line;
    Drift drift;
    int span;
};

constexpr TourEntry kTour[] = {
    {"DCV 1.234", Drift::Walk, 4},
    {"DCV 12.34", Drift::Walk, 4},
    {"DCV 123.4", Drift::Walk, 4},
    {"DCV -4.567", Drift::Walk, 4},
    {"DCV m 345.6", Drift::Walk, 6},
    {"DCV OL", Drift::None, 0},
    {"DCV -OL", Drift::None, 0},
    {"ACV 230.1", Drift::Walk, 8},
    {"ACV m 512.3", Drift::Walk, 6},
    {"DCA u 123.4", Drift::Walk, 5},
    {"DCA m 45.67", Drift::Walk, 5},
    {"DCA 1.234", Drift::Walk, 3},
    {"ACA u 256.0", Drift::Walk, 5},
    {"ACA m 12.34", Drift::Walk, 5},
    {"ACA 2.345", Drift::Walk, 3},
    {"OHM 123.4", Drift::Walk, 3},
    {"OHM k 4.702", Drift::Walk, 3},
    {"OHM M 1.000", Drift::Walk, 2},
    {"OHM k OL", Drift::None, 0},
    {"CTN 12.3", Drift::Walk, 2},
    {"DIODE 0.612", Drift::Walk, 2},
    {"CAP n 47.12", Drift::Walk, 4},
    {"CAP u 1.234", Drift::Walk, 3},
    {"TEMPC 23.5", Drift::Walk, 2},
    {"TEMPF 74.3", Drift::Walk, 3},
    {"FREQ 50.00", Drift::Walk, 2},
    {"FREQ k 1.000", Drift::Walk, 3},
    {"FREQ M 1.234", Drift::Walk, 3},
    {"DUTY 50.0", Drift::Walk, 3},
    {"DCV 5.000 hold", Drift::None, 0},
    {"DCV 0.012 rel", Drift::Walk, 5},
    {"DCV 3.300 max", Drift::Up, 20},
    {"DCV 3.100 min", Drift::Down, 20},
    {"DCV 4.980 bat", Drift::Walk, 4},
    {"DCV 12.00 manual", Drift::Walk, 4},
    {"OHM k 10.00 manual", Drift::Walk, 4},
};

constexpr int kFramesPerTourStep = 4;

}  // namespace

std::vector<ScenarioStep> builtInScenario() {
    std::vector<ScenarioStep> steps;
    for (const TourEntry& e : kTour) {
        ScenarioStep s;
        std::string error;
        if (!parseDisplaySpec(e.line, s.spec, error)) {
            // The table above is ours; a bad line is a programming error.
            std::cerr << "meterlink-cli simulate: built-in line '" << e.line << "': " << error << '\n';
            std::abort();
        }
        s.frames = kFramesPerTourStep;
        s.drift = s.spec.overload ? Drift::None : e.drift;
        s.span = e.span;
        steps.push_back(s);
    }
    return steps;
}

namespace {

// A hand-written scenario is a few hundred lines; anything far beyond is not one.
constexpr std::size_t kMaxScenarioBytes = 1024 * 1024;
constexpr std::size_t kMaxLineBytes = 200;

// Control characters other than tab, CR and LF mean the file is not text.
bool isBinaryByte(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F; }

// Reads the whole file, but never more than the limit and never binary data:
// a device such as /dev/zero or a huge file is refused after at most one
// chunk past the limit, and nothing of it is kept or shown.
bool readScenarioText(const std::string& path, std::string& text, std::string& error) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        error = path + ": is a directory, not a scenario file";
        return false;
    }
    if (std::filesystem::is_regular_file(status)) {
        const std::uintmax_t size = std::filesystem::file_size(path, ec);
        if (!ec && size > kMaxScenarioBytes) {
            error = path + ": too large for a scenario file (" + std::to_string(size) + " bytes, at most " +
                    std::to_string(kMaxScenarioBytes) + ")";
            return false;
        }
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    char chunk[64 * 1024];
    while (in) {
        in.read(chunk, sizeof chunk);
        const auto got = static_cast<std::size_t>(in.gcount());
        for (std::size_t i = 0; i < got; ++i) {
            if (isBinaryByte(static_cast<unsigned char>(chunk[i]))) {
                error = path + ": not a text file (binary data at byte " + std::to_string(text.size() + i + 1) + ")";
                return false;
            }
        }
        if (text.size() + got > kMaxScenarioBytes) {
            error = path + ": too large for a scenario file (more than " + std::to_string(kMaxScenarioBytes) + " bytes)";
            return false;
        }
        text.append(chunk, got);
    }
    if (in.bad()) {
        error = path + ": read error";
        return false;
    }
    return true;
}

}  // namespace

bool loadScenario(const std::string& path, std::vector<ScenarioStep>& steps, std::string& error) {
    std::string text;
    if (!readScenarioText(path, text, error)) return false;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.size() > kMaxLineBytes) {
            error = path + ':' + std::to_string(lineNo) + ": line too long (more than " +
                    std::to_string(kMaxLineBytes) + " characters)";
            return false;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();   // files written on Windows
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        ScenarioStep s;
        std::string lineError;
        if (!parseDisplaySpec(line, s.spec, lineError)) {
            error = path + ':' + std::to_string(lineNo) + ": " + lineError;
            return false;
        }
        steps.push_back(s);
    }
    if (steps.empty()) {
        error = path + ": no readings";
        return false;
    }
    return true;
}

WireFrame ScenarioPlayer::next() { return encodeFrame(fieldsFor(nextSpec())); }

DisplaySpec ScenarioPlayer::nextSpec() {
    const ScenarioStep& step = steps_[index_];
    DisplaySpec spec = step.spec;
    spec.count = driftedCount(step);
    if (++frameInStep_ >= step.frames) {
        frameInStep_ = 0;
        offset_ = 0;
        index_ = (index_ + 1) % steps_.size();
    }
    return spec;
}

int ScenarioPlayer::driftedCount(const ScenarioStep& step) {
    if (frameInStep_ > 0 && step.drift != Drift::None) {
        const int move = std::uniform_int_distribution<int>(0, 2)(random_);   // 0, 1 or 2 counts
        switch (step.drift) {
        case Drift::Walk: offset_ += move - 1; break;
        case Drift::Up: offset_ += move; break;
        case Drift::Down: offset_ -= move; break;
        case Drift::None: break;
        }
        offset_ = std::clamp(offset_, -step.span, step.span);
    }
    const int base = step.spec.count;
    // Stay on the base value's side of zero and inside four digits, so a
    // drift never changes what the reading means.
    const int low = base < 0 ? -9999 : 0;
    const int high = base < 0 ? 0 : 9999;
    return std::clamp(base + offset_, low, high);
}

}  // namespace meterlink
