#pragma once
// The meter the user chose in the window, kept for the next start in the
// program's settings store (the default QSettings, shared with the user's
// other settings). Only the model's name is kept.

#include <QString>

namespace meter_setting {

constexpr const char* kKey = "meter/model";

// The stored model name; empty when none was stored.
QString stored();
void store(const QString& modelName);

}  // namespace meter_setting
