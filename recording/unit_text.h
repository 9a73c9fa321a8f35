#pragma once
// Unit texts are stored as the meter decodes them ("*" ohm, "#" degrees C,
// "?" degrees F, a "u" prefix for micro); this is how a person reads them.

#include <QString>

QString unitDisplayText(const QString& unitText);
