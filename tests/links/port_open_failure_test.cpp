#include "links/port_open_failure.h"

#include <gtest/gtest.h>

namespace {

TEST(PortOpenFailure, InUseAndNoPermissionAreToldApart) {
    const struct {
        QSerialPort::SerialPortError error;
        bool exists;
        bool accessible;
        PortOpenFailure want;
    } cases[] = {
        {QSerialPort::DeviceNotFoundError, false, false, PortOpenFailure::Missing},
        {QSerialPort::PermissionError, false, false, PortOpenFailure::Missing},   // gone since
        {QSerialPort::PermissionError, true, true, PortOpenFailure::InUse},       // lock or exclusive open
        {QSerialPort::PermissionError, true, false, PortOpenFailure::NoPermission},
        {QSerialPort::OpenError, true, true, PortOpenFailure::Other},
        {QSerialPort::UnknownError, true, false, PortOpenFailure::Other},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "error " << c.error << " exists " << c.exists << " accessible " << c.accessible);
        EXPECT_EQ(classifyPortOpenFailure(c.error, c.exists, c.accessible), c.want);
    }
}

TEST(PortOpenFailure, EachReasonSaysWhatToDo) {
    const QString device = QStringLiteral("/dev/ttyS0");
    const QString system = QStringLiteral("Permission error while locking the device");
    const struct {
        PortOpenFailure failure;
        const char* group;
        const char* says;
    } cases[] = {
        {PortOpenFailure::InUse, "dialout", "in use by another program"},
        {PortOpenFailure::NoPermission, "dialout", "join the group \"dialout\" (sudo adduser $USER dialout)"},
        {PortOpenFailure::NoPermission, "root", "ask the administrator"},
        {PortOpenFailure::Missing, "", "does not exist"},
        {PortOpenFailure::Other, "", "Permission error while locking the device"},
    };
    for (const auto& c : cases) {
        const QString text = portOpenFailureText(c.failure, device, system, QString::fromLatin1(c.group));
        EXPECT_TRUE(text.contains(QString::fromLatin1(c.says))) << text.toStdString();
        if (c.failure == PortOpenFailure::InUse) {
            EXPECT_FALSE(text.contains(QStringLiteral("ermission"))) << text.toStdString();
        }
    }
}

}  // namespace
