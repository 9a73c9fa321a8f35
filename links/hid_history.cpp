#include "links/hid_history.h"

void HidHistory::append(const QString& line) {
    if (lines_.size() >= kMaxLines) lines_.removeFirst();
    lines_.append(line);
}

QString HidHistory::arrivalLine(const QString& caption) {
    return QStringLiteral("Arrival of ") + caption;
}

QString HidHistory::removalLine(const QString& caption) {
    return QStringLiteral("Removal of ") + caption;
}

QString HidHistory::readErrorLine(const QString& message, std::uint32_t code) {
    qsizetype end = message.size();
    while (end > 0) {
        const QChar c = message.at(end - 1);
        if (c != QLatin1Char(' ') && c != QLatin1Char('.') && c.category() != QChar::Other_Control) break;
        --end;
    }
    return QStringLiteral("READ ERROR: %1 (%2)").arg(message.left(end), QString::number(code, 16).toUpper());
}

QString HidHistory::bytesLine(const std::uint8_t* data, std::size_t size) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString line;
    line.reserve(static_cast<qsizetype>(size * 3));
    for (std::size_t i = 0; i < size; ++i) {
        line += QLatin1Char(kHex[data[i] >> 4]);
        line += QLatin1Char(kHex[data[i] & 0x0F]);
        line += QLatin1Char(' ');
    }
    return line;
}

QString HidHistory::reportLine(std::uint8_t reportId, const std::uint8_t* data, std::size_t size) {
    return QStringLiteral("R ") + bytesLine(&reportId, 1) + QLatin1Char(' ') + bytesLine(data, size);
}
