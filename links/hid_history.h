#pragma once
// The diagnostic history of the USB side: device arrivals and removals, read
// errors, feature reports sent and data reports received, one line each. It
// keeps the newest 1000 lines, so a link left open for days does not grow
// memory without end; the newest line is the selected one.

#include <QStringList>

#include <cstddef>
#include <cstdint>

class HidHistory {
public:
    static constexpr int kMaxLines = 1000;

    void append(const QString& line);
    void clear() { lines_.clear(); }
    const QStringList& lines() const { return lines_; }
    // The newest line's index, or -1 when empty.
    int selected() const { return static_cast<int>(lines_.size()) - 1; }

    static QString arrivalLine(const QString& caption);
    static QString removalLine(const QString& caption);
    // message is the system's text for code; its trailing blanks, control
    // characters and full stops are dropped.
    static QString readErrorLine(const QString& message, std::uint32_t code);
    // Each byte as two upper-case hex digits and a blank.
    static QString bytesLine(const std::uint8_t* data, std::size_t size);
    // "R", the report ID, two blanks, then the data bytes.
    static QString reportLine(std::uint8_t reportId, const std::uint8_t* data, std::size_t size);

private:
    QStringList lines_;
};
