#include "serve/scpi_header.h"

#include <cctype>

namespace meterlink {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

ScpiHeader::ScpiHeader(std::string_view pattern) {
    if (!pattern.empty() && pattern.back() == '?') {
        query_ = true;
        pattern.remove_suffix(1);
    }
    if (!pattern.empty() && pattern.front() == '*') {
        common_ = true;
        commonText_ = upper(pattern);
        return;
    }
    std::size_t i = 0;
    while (i < pattern.size()) {
        Keyword k;
        if (pattern[i] == '[') {
            k.optional = true;
            ++i;
        }
        if (i < pattern.size() && pattern[i] == ':') ++i;
        std::size_t start = i;
        while (i < pattern.size() && pattern[i] != ':' && pattern[i] != '[' && pattern[i] != ']') ++i;
        std::string_view word = pattern.substr(start, i - start);
        for (char c : word) {
            if (std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)))
                k.shortForm += c;
        }
        k.longForm = upper(word);
        if (i < pattern.size() && pattern[i] == ']') ++i;
        keywords_.push_back(std::move(k));
    }
}

bool ScpiHeader::matchFrom(std::size_t p, const std::vector<std::string>& words, std::size_t w) const {
    if (p == keywords_.size()) return w == words.size();
    const Keyword& k = keywords_[p];
    if (w < words.size() && (words[w] == k.shortForm || words[w] == k.longForm) && matchFrom(p + 1, words, w + 1))
        return true;
    return k.optional && matchFrom(p + 1, words, w);
}

bool ScpiHeader::matches(std::string_view header) const {
    bool query = !header.empty() && header.back() == '?';
    if (query != query_) return false;
    if (query) header.remove_suffix(1);
    if (common_) return upper(header) == commonText_;
    if (!header.empty() && header.front() == ':') header.remove_prefix(1);
    std::vector<std::string> words;
    std::size_t start = 0;
    for (;;) {
        std::size_t colon = header.find(':', start);
        std::string_view word = header.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
        if (word.empty()) return false;
        words.push_back(upper(word));
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    return matchFrom(0, words, 0);
}

}  // namespace meterlink
