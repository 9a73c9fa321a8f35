#pragma once
// SCPI command headers: "MEASure:VOLTage[:DC]?" matches "MEAS:VOLT?",
// "measure:voltage:dc?" and ":Meas:Volt:DC?". Each keyword is accepted in
// its short form (its upper-case letters) or its long form, in any case;
// keywords in brackets may be left out ("[SENSe]:FUNCtion?", "SYSTem:ERRor[:NEXT]?").

#include <string>
#include <string_view>
#include <vector>

namespace meterlink {

class ScpiHeader {
public:
    explicit ScpiHeader(std::string_view pattern);
    bool matches(std::string_view header) const;
    bool isQuery() const { return query_; }

private:
    struct Keyword {
        std::string shortForm;
        std::string longForm;
        bool optional = false;
    };
    bool matchFrom(std::size_t pattern, const std::vector<std::string>& words, std::size_t word) const;

    std::vector<Keyword> keywords_;
    bool common_ = false;  // "*IDN?" and the like: matched whole
    std::string commonText_;
    bool query_ = false;
};

}  // namespace meterlink
