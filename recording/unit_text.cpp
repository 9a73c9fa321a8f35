#include "recording/unit_text.h"

#include "recording/row_view.h"

#include <string>

QString unitDisplayText(const QString& unitText) {
    std::string text;
    meterlink::appendDisplayUnit(text, unitText.toStdString());
    return QString::fromStdString(text);
}
