#include "links/hid_platform.h"

#include <algorithm>
#include <system_error>

QString HidPlatform::errorText(std::uint32_t code) const {
    // strerror on POSIX, the system's message table on Windows.
    return QString::fromStdString(std::system_category().message(static_cast<int>(code)));
}

void fillLanguageList(const std::vector<std::uint16_t>& languages, std::vector<std::uint16_t>& words) {
    const std::size_t n = std::min(languages.size(), words.size());
    std::copy_n(languages.begin(), n, words.begin());
    if (n < words.size()) words[n] = 0;
}
