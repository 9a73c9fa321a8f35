#include "text_line_tokens.h"

#include <cstring>

namespace meterlink {

namespace {

bool isSeparator(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x01 && b <= 0x20;
}

}  // namespace

void LineFields::clear() {
    value_.fill({});
    has_.fill(false);
    count_ = 0;
}

LineFields::Result LineFields::split(QByteArrayView line) {
    clear();
    // Room for every quoted value of the line: views into it stay valid.
    if (unquoted_.size() < line.size()) unquoted_.resize(line.size());
    written_ = 0;
    return nextTab(line, 0) < line.size() ? splitTabs(line) : splitTokens(line);
}

// Fields are a few bytes long: a plain loop beats a call to memchr.
qsizetype LineFields::nextTab(QByteArrayView line, qsizetype from) {
    while (from < line.size() && line[from] != '\t') ++from;
    return from;
}

qsizetype LineFields::unquote(QByteArrayView line, qsizetype at, qsizetype end, QByteArrayView& value) {
    char* out = unquoted_.data() + written_;
    qsizetype n = 0;
    ++at;   // the opening quote
    while (at < end) {
        if (line[at] == '"') {
            if (at + 1 < end && line[at + 1] == '"') {
                out[n++] = '"';
                at += 2;
                continue;
            }
            ++at;   // the closing quote
            break;
        }
        out[n++] = line[at++];
    }
    value = QByteArrayView(out, n);
    written_ += n;
    return at;
}

LineFields::Result LineFields::splitTokens(QByteArrayView line) {
    const qsizetype end = line.size();
    qsizetype at = 0;
    int count = 0;
    for (;;) {
        while (at < end && isSeparator(line[at])) ++at;
        if (at == end) break;
        if (count >= kMaxFields) {
            // Counted for the reason a load gives, not kept.
            while (at < end && !isSeparator(line[at])) ++at;
            ++count;
            continue;
        }
        QByteArrayView token;
        if (line[at] == '"') {
            at = unquote(line, at, end, token);
        } else {
            const qsizetype start = at;
            while (at < end && !isSeparator(line[at])) ++at;
            token = line.sliced(start, at - start);
        }
        value_[count] = token;
        has_[count] = true;
        ++count;
    }
    count_ = count;
    if (count > kMaxFields) return Result::TooMany;
    return count == 0 ? Result::NoValue : Result::Values;
}

LineFields::Result LineFields::splitTabs(QByteArrayView line) {
    const qsizetype size = line.size();
    qsizetype start = 0;
    bool any = false;
    for (int k = 0; start <= size; ++k) {
        const qsizetype end = nextTab(line, start);
        qsizetype from = start;
        qsizetype to = end;
        while (from < to && isSeparator(line[from])) ++from;
        while (to > from && isSeparator(line[to - 1])) --to;
        if (from < to) {
            count_ = k + 1;
            if (k >= kMaxFields) {
                start = end + 1;
                continue;
            }
            QByteArrayView value;
            if (line[from] == '"') {
                const qsizetype after = unquote(line, from, to, value);
                // Whatever follows the closing quote in the field stays with it.
                if (after < to) {
                    std::memcpy(unquoted_.data() + written_, line.data() + after, static_cast<std::size_t>(to - after));
                    value = QByteArrayView(value.data(), value.size() + (to - after));
                    written_ += to - after;
                }
            } else {
                value = line.sliced(from, to - from);
            }
            value_[k] = value;
            has_[k] = !value.isEmpty();
            any = any || has_[k];
        }
        start = end + 1;
    }
    if (count_ > kMaxFields) return Result::TooMany;
    return any ? Result::Values : Result::NoValue;
}

}  // namespace meterlink
