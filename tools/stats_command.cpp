#include "stats_command.h"

#include "recording/export_fields.h"
#include "recording/json_lines_writer.h"
#include "recording/loaded_log.h"
#include "recording/log_statistics.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace meterlink;

constexpr const char* kUsage =
    "usage: meterlink-cli stats FILE... [--from TIME] [--to TIME] [--json]\n"
    "Prints the statistics of each saved log (text, XML, CSV or JSON lines, as the\n"
    "name picks), one block per file and unit: rows, minimum and maximum with\n"
    "their row and time, mean, standard deviation (of n - 1), pass and fail\n"
    "counts, time outside the limits, first and last time, duration. Overload\n"
    "rows and rows without a number are counted, never averaged.\n"
    "  --from TIME  only rows from TIME on (ISO 8601: 2026-12-10T16:08:55, with\n"
    "               an offset or Z, else local time)\n"
    "  --to TIME    only rows up to TIME, inclusive\n"
    "  --json       one JSON object a line per file and unit, values in SI units\n"
    "Exit code 1 when a file could not be read (the others are still printed).\n";

std::optional<std::int64_t> parseTime(const char* text) {
    const QString s = QString::fromLocal8Bit(text);
    QDateTime t = QDateTime::fromString(s, Qt::ISODateWithMs);
    if (!t.isValid()) t = QDateTime::fromString(s, Qt::ISODate);
    if (!t.isValid()) return std::nullopt;
    return t.toMSecsSinceEpoch();
}

std::string iso(const FullTime& t) {
    std::string out;
    appendIsoTime(out, t);
    return out;
}

std::string number(double v) {
    std::string out;
    appendShortestDouble(out, v);
    return out;
}

std::string seconds(std::int64_t ms) { return number(double(ms) / 1000.0); }

// 1:02:03.5 for people.
std::string span(std::int64_t ms) {
    char buffer[48];
    const std::int64_t s = ms / 1000;
    std::snprintf(buffer, sizeof buffer, "%" PRId64 ":%02d:%02d.%03d", s / 3600, int(s / 60 % 60), int(s % 60),
                  int(ms % 1000));
    return buffer;
}

void printJson(const std::string& file, const UnitStatistics* u) {
    std::string out = "{\"file\":";
    appendJsonString(out, file);
    const auto key = [&out](const char* name) {
        out += ",\"";
        out += name;
        out += "\":";
    };
    const auto orNull = [&out](bool has, const std::string& text, bool quoted) {
        if (!has) out += "null";
        else if (quoted) appendJsonString(out, text);
        else out += text;
    };
    key("unit");
    orNull(u != nullptr, u ? std::string(u->symbol()) : "", true);
    key("count");
    out += std::to_string(u ? u->count : 0);
    key("min");
    orNull(u && u->min, u && u->min ? number(u->min->value) : "", false);
    key("min_time");
    orNull(u && u->min, u && u->min ? iso(u->min->time) : "", true);
    key("max");
    orNull(u && u->max, u && u->max ? number(u->max->value) : "", false);
    key("max_time");
    orNull(u && u->max, u && u->max ? iso(u->max->time) : "", true);
    key("mean");
    orNull(u && u->mean, u && u->mean ? number(*u->mean) : "", false);
    key("std");
    orNull(u && u->std, u && u->std ? number(*u->std) : "", false);
    key("pass");
    out += std::to_string(u ? u->pass : 0);
    key("fail");
    out += std::to_string(u ? u->fail : 0);
    key("time_outside_s");
    out += seconds(u ? u->timeOutsideMs : 0);
    key("first");
    orNull(u != nullptr, u ? iso(u->first) : "", true);
    key("last");
    orNull(u != nullptr, u ? iso(u->last) : "", true);
    key("duration_s");
    out += seconds(u ? u->durationMs : 0);
    key("values");
    out += std::to_string(u ? u->numbers : 0);
    key("overloads");
    out += std::to_string(u ? u->overloads : 0);
    key("no_number");
    out += std::to_string(u ? u->noNumber : 0);
    key("times_placed");
    out += std::to_string(u ? u->placedTimes : 0);
    out += "}\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void printText(const UnitStatistics& u) {
    const std::string unit(u.symbol().empty() ? "(no unit)" : std::string(u.symbol()));
    std::printf("  %s: %" PRIu64 " rows, %" PRIu64 " with a value, %" PRIu64 " overloads, %" PRIu64
                " without a number\n",
                unit.c_str(), u.count, u.numbers, u.overloads, u.noNumber);
    const std::string sym(u.symbol());
    if (u.min) {
        std::printf("    minimum  %s %s  row %zu, %s\n", number(u.min->value).c_str(), sym.c_str(), u.min->row + 1,
                    iso(u.min->time).c_str());
        std::printf("    maximum  %s %s  row %zu, %s\n", number(u.max->value).c_str(), sym.c_str(), u.max->row + 1,
                    iso(u.max->time).c_str());
        std::printf("    mean     %s %s\n", number(*u.mean).c_str(), sym.c_str());
        if (u.std) std::printf("    std dev  %s %s\n", number(*u.std).c_str(), sym.c_str());
    }
    std::printf("    pass %" PRIu64 ", fail %" PRIu64, u.pass, u.fail);
    if (const auto passed = u.passedPercent()) std::printf(" (%.1f %% passed)", *passed);
    std::printf(", time outside the limits %s\n", span(u.timeOutsideMs).c_str());
    std::printf("    first %s, last %s, duration %s\n", iso(u.first).c_str(), iso(u.last).c_str(),
                span(u.durationMs).c_str());
    if (u.placedTimes) std::printf("    %" PRIu64 " rows had no full time and were placed by their neighbours\n",
                                   u.placedTimes);
}

}  // namespace

int runStats(int argc, char** argv) {
    std::vector<const char*> files;
    std::optional<std::int64_t> from, to;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::cout << kUsage;
            return 0;
        }
        if (std::strcmp(a, "--json") == 0) {
            json = true;
        } else if (std::strcmp(a, "--from") == 0 || std::strcmp(a, "--to") == 0) {
            if (i + 1 >= argc) {
                std::cerr << "meterlink-cli stats: " << a << " needs a time\n" << kUsage;
                return 2;
            }
            const auto t = parseTime(argv[++i]);
            if (!t) {
                std::cerr << "meterlink-cli stats: " << a << " " << argv[i]
                          << " is no ISO 8601 time (2026-12-10T16:08:55)\n";
                return 2;
            }
            (std::strcmp(a, "--from") == 0 ? from : to) = t;
        } else if (a[0] == '-' && a[1] != '\0') {
            std::cerr << "meterlink-cli stats: unknown option " << a << "\n" << kUsage;
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        std::cerr << kUsage;
        return 2;
    }
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    // Text and XML logs hold values as this machine's locale shows them.
    const std::string decimalSep = QLocale().decimalPoint().toStdString();
    int status = 0;
    for (const char* file : files) {
        PointVector points;
        QString reason;
        if (!loadLogPoints(QString::fromLocal8Bit(file), points, decimalSep, &reason)) {
            std::cerr << "meterlink-cli stats: " << file << ": " << reason.toLocal8Bit().constData() << "\n";
            status = 1;
            continue;
        }
        LogStatistics stats(points);
        stats.catchUp();
        const std::size_t first = from ? stats.rowAtTime(*from) : 0;
        const std::size_t end = to ? stats.rowAtTime(*to + 1) : points.size();
        const std::vector<UnitStatistics> units = stats.range(first, std::max(first, end));
        if (json) {
            if (units.empty()) printJson(file, nullptr);
            for (const UnitStatistics& u : units) printJson(file, &u);
            continue;
        }
        std::printf("%s\n", file);
        if (units.empty()) std::printf("  no rows%s\n", from || to ? " in that time" : "");
        for (const UnitStatistics& u : units) printText(u);
    }
    std::fflush(stdout);
    return status;
}
