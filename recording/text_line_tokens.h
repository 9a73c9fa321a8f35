#pragma once
// How a line of a text data file becomes field values.
//
// Lines come from TextLineReader (text_line_reader.h). A line holding a TAB is split on TABs
// alone: each field is trimmed of bytes 0x01-0x20 and keeps its position, so a
// value with a blank inside ("2:03:22 PM") stays one value and an empty field
// stays empty. A line without a TAB, as people type them, is split into tokens
// at runs of bytes 0x01-0x20, and its values fill the fields from the left.
// Either way a value that starts with a double quote runs to its closing
// quote ("" inside stands for one "), or to the end of the line (of the field
// on a TAB line) when there is none.

#include <QByteArray>
#include <QByteArrayView>

#include <array>

namespace meterlink {

// The field values of one line, views into the line or into a buffer of the
// splitter's own (for quoted values), valid until the next split.
class LineFields {
public:
    static constexpr int kMaxFields = 7;
    enum class Result {
        NoValue,    // nothing but separators: the line is skipped
        Values,
        TooMany,    // a value beyond the last field
    };

    Result split(QByteArrayView line);

    // Whether field k got a value (a quoted empty token counts on a line
    // without TABs; an empty field of a TAB line does not), and that value.
    bool has(int k) const { return has_[k]; }
    // How many values the line holds (on a TAB line: the place of the last
    // field with a value), kMaxFields exceeded included.
    int count() const { return count_; }
    QByteArrayView value(int k) const { return value_[k]; }

private:
    Result splitTokens(QByteArrayView line);
    Result splitTabs(QByteArrayView line);
    static qsizetype nextTab(QByteArrayView line, qsizetype from);
    // Reads a quoted value starting at line[at] == '"' and ending at most at
    // end; returns the index after its closing quote (or end).
    qsizetype unquote(QByteArrayView line, qsizetype at, qsizetype end, QByteArrayView& value);
    void clear();

    std::array<QByteArrayView, kMaxFields> value_{};
    std::array<bool, kMaxFields> has_{};
    QByteArray unquoted_;
    qsizetype written_ = 0;   // bytes of unquoted_ in use
    int count_ = 0;
};

}  // namespace meterlink
