#pragma once
// Why a serial port would not open, told so that the user knows what to do:
// the device is missing, another program holds it, or the user may not use it.

#include <QSerialPort>
#include <QString>

enum class PortOpenFailure { Missing, InUse, NoPermission, Other };

// error: what the failed open reported. The system reports a port held by
// another program and a port the user may not open alike, as a permission
// error; whether the user could read and write the device tells them apart.
PortOpenFailure classifyPortOpenFailure(QSerialPort::SerialPortError error, bool deviceExists,
                                        bool deviceAccessible);

// The reason shown after "Could not open COM n (device): ". systemText is the
// system's own words, used when there is nothing better to say; group is the
// device's owning group, the one to join for permission.
QString portOpenFailureText(PortOpenFailure failure, const QString& device, const QString& systemText,
                            const QString& group);

// Looks at the device and the open's error and gives the reason text.
QString explainPortOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                               const QString& systemText);
