#include "links/hid_platform.h"

#include <system_error>

QString HidPlatform::errorText(std::uint32_t code) const {
    // strerror on POSIX, the system's message table on Windows.
    return QString::fromStdString(std::system_category().message(static_cast<int>(code)));
}
