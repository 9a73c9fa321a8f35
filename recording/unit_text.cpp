#include "recording/unit_text.h"

QString unitDisplayText(const QString& unitText) {
    QString text = unitText;
    // A lone "u" is not a prefixed unit, so only a leading "u" before a unit sign changes.
    if (text.size() > 1 && text.front() == QLatin1Char('u'))
        text.replace(0, 1, QChar(0x00B5));   // MICRO SIGN
    text.replace(QLatin1Char('*'), QChar(0x03A9));   // GREEK CAPITAL OMEGA, the sign NFC makes of U+2126
    text.replace(QLatin1Char('#'), QStringLiteral("\u00B0C"));
    text.replace(QLatin1Char('?'), QStringLiteral("\u00B0F"));
    return text;
}
