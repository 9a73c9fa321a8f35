#pragma once
// What convert and report share: the two file names IN and OUT, and loading
// IN the way the window does.

#include "recording/record_table.h"

#include <QString>

#include <optional>

struct LogFileCommand {
    QString in;
    QString out;

    // Takes IN and OUT from the arguments. Returns an exit code when the
    // command is done already: 0 after printing the usage for --help, 2 with
    // the usage on standard error when there are not exactly two names.
    std::optional<int> parse(int argc, char** argv, const char* usage);
    // Loads IN into the table, or says "Failed to Load File!" and why on
    // standard error.
    bool load(meterlink::RecordTable& table) const;
    // Says on standard error that OUT could not be written, and why; 1.
    static int saveFailed(const QString& message, const QString& reason);
};
