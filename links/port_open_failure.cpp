#include "links/port_open_failure.h"

#include <QFileInfo>

PortOpenFailure classifyPortOpenFailure(QSerialPort::SerialPortError error, bool deviceExists,
                                        bool deviceAccessible) {
    if (error == QSerialPort::DeviceNotFoundError || !deviceExists)
        return PortOpenFailure::Missing;
    if (error != QSerialPort::PermissionError)
        return PortOpenFailure::Other;
    return deviceAccessible ? PortOpenFailure::InUse : PortOpenFailure::NoPermission;
}

QString portOpenFailureText(PortOpenFailure failure, const QString& device, const QString& systemText,
                            const QString& group) {
    switch (failure) {
    case PortOpenFailure::Missing:
        return QStringLiteral("the device does not exist");
    case PortOpenFailure::InUse:
        return QStringLiteral("the device is in use by another program; close that program's connection "
                              "and try again");
    case PortOpenFailure::NoPermission:
        // Joining root is never the advice; the administrator decides then.
        if (group.isEmpty() || group == QLatin1String("root"))
            return QStringLiteral("you lack permission to use %1; ask the administrator for access to it")
                .arg(device);
        return QStringLiteral("you lack permission to use %1; join the group \"%2\" (sudo adduser $USER %2) "
                              "and log in again")
            .arg(device, group);
    case PortOpenFailure::Other:
        break;
    }
    return systemText;
}

QString explainPortOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                               const QString& systemText) {
    const QFileInfo info(device);
    const PortOpenFailure failure =
        classifyPortOpenFailure(error, info.exists(), info.isReadable() && info.isWritable());
    return portOpenFailureText(failure, device, systemText, info.group());
}
