#include "reading_json.h"

#include "recording/unit_text.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <cmath>

namespace {

struct Prefix {
    char letter;
    int exponent;
};
constexpr std::array<Prefix, 5> kPrefixes{{{'n', -9}, {'u', -6}, {'m', -3}, {'k', 3}, {'M', 6}}};

// The unit text split into its prefix's power of ten and its SI symbol.
QString siUnit(const QString& unitText, int& exponent) {
    exponent = 0;
    QString unit = unitText;
    if (unit.size() > 1) {
        for (const Prefix& p : kPrefixes) {
            if (unit.front() == QLatin1Char(p.letter)) {
                exponent = p.exponent;
                unit.remove(0, 1);
                break;
            }
        }
    }
    return unitDisplayText(unit);
}

QString isoLocalTime(const QDateTime& when) {
    // Local time that names its offset, so the instant is plain wherever it is read.
    const QDateTime local = when.toLocalTime();
    QString text = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs);
    // Qt writes a zero offset as "Z"; readers matching +HH:MM get it written out.
    if (text.endsWith(QLatin1Char('Z'))) text.replace(text.size() - 1, 1, QStringLiteral("+00:00"));
    return text;
}

}  // namespace

QByteArray readingJson(std::int32_t no, const QDateTime& when, const meterlink::MeterReading& reading,
                       const QString& decimalSep) {
    const QString valueText = QString::fromStdString(reading.ValueText).trimmed();
    const QString unitText = QString::fromStdString(reading.UnitText);
    const bool overload = valueText.contains(QLatin1Char('L'));
    int exponent = 0;
    const QString unit = siUnit(unitText, exponent);
    QJsonValue value = QJsonValue::Null;
    if (!overload) {
        QString number = valueText;
        if (!decimalSep.isEmpty() && decimalSep != QLatin1String(".")) number.replace(decimalSep, QStringLiteral("."));
        // Scaled in decimal, so 1.234 mV is 0.001234 and not its binary neighbour.
        bool ok = false;
        const double si = (number + QStringLiteral("e%1").arg(exponent)).toDouble(&ok);
        if (ok && std::isfinite(si)) value = si;
    }
    const QString shownUnit = unitDisplayText(unitText);
    QJsonObject o{
        {QStringLiteral("timestamp"), isoLocalTime(when)},
        {QStringLiteral("no"), no},
        {QStringLiteral("function"), QString::fromStdString(reading.FunctionText)},
        {QStringLiteral("value"), value},
        {QStringLiteral("unit"), unit},
        {QStringLiteral("display"), shownUnit.isEmpty() ? valueText : valueText + QLatin1Char(' ') + shownUnit},
        {QStringLiteral("range"), reading.AutoText == "AUTO" ? QStringLiteral("auto") : QStringLiteral("manual")},
        {QStringLiteral("verdict"), QString::fromStdString(reading.JudgeText).toLower()},
        {QStringLiteral("overload"), overload},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
