#include "meter_setting.h"

#include <QSettings>

namespace meter_setting {

QString stored() {
    return QSettings().value(QString::fromLatin1(kKey)).toString();
}

void store(const QString& modelName) {
    QSettings settings;
    settings.setValue(QString::fromLatin1(kKey), modelName);
}

}  // namespace meter_setting
