#include "links/hid_platform_factory.h"

#include "links/hidapi_platform.h"
#ifdef Q_OS_UNIX
#include "links/socket_hid_platform.h"
#endif

#include <QtGlobal>

std::shared_ptr<HidPlatform> createHidPlatform() {
    const QString choice = qEnvironmentVariable("METERLINK_HID");
    if (choice.startsWith(QLatin1String("sim:"))) {
#ifdef Q_OS_UNIX
        return std::make_shared<SocketHidPlatform>(choice.mid(4).toStdString());
#else
        qWarning("METERLINK_HID=sim:... needs Unix-domain sockets; using the system's HID devices");
#endif
    } else if (!choice.isEmpty() && choice != QLatin1String("hidapi")) {
        qWarning("METERLINK_HID=%s is neither \"hidapi\" nor \"sim:SOCKET\"; using the system's HID devices",
                 qPrintable(choice));
    }
    return std::make_shared<HidapiPlatform>();
}
