#include "channels/alarm.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

#include "channels/channel_board.h"

namespace meterlink {

std::string AlarmSpecError::text() const { return message + " at position " + std::to_string(position); }

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : char(c); });
    return out;
}

std::optional<double> number(std::string_view s) {
    double v = 0;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

struct DurationUnit {
    const char* suffix;
    double seconds;
};

// Longest suffixes first, so "ms" and "min" are not read as "s".
constexpr std::array<DurationUnit, 4> kDurationUnits{{{"min", 60}, {"ms", 0.001}, {"h", 3600}, {"s", 1}}};

std::optional<double> duration(std::string_view s) {
    std::string l = lower(s);
    for (const auto& u : kDurationUnits) {
        std::string_view suffix(u.suffix);
        if (l.size() > suffix.size() && l.compare(l.size() - suffix.size(), suffix.size(), suffix) == 0) {
            auto v = number(s.substr(0, s.size() - suffix.size()));
            if (v && *v >= 0) return *v * u.seconds;
            return std::nullopt;
        }
    }
    auto v = number(s);
    if (v && *v >= 0) return v;
    return std::nullopt;
}

struct Token {
    std::string text;
    std::size_t position;  // 1-based in the whole alarm text
};

std::vector<Token> tokens(std::string_view s, std::size_t offset) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < s.size()) {
        if (isBlank(s[i])) {
            ++i;
            continue;
        }
        std::size_t start = i;
        if (s[i] == '>' || s[i] == '<') {
            ++i;
        } else {
            while (i < s.size() && !isBlank(s[i]) && s[i] != '>' && s[i] != '<') ++i;
        }
        out.push_back({std::string(s.substr(start, i - start)), offset + start + 1});
    }
    return out;
}

struct Failure {
    AlarmSpecError error;
};

[[noreturn]] void fail(std::size_t position, std::string message) { throw Failure{{position, std::move(message)}}; }

AlarmCondition parseCondition(std::string_view s, const std::vector<std::string>& known) {
    std::vector<Token> t = tokens(s, 0);
    if (t.empty()) fail(1, "The condition is missing before \":\"");
    AlarmCondition c;
    c.channel = ChannelBoard::key(t[0].text);
    bool isKnown = std::any_of(known.begin(), known.end(),
                               [&](const std::string& k) { return ChannelBoard::key(k) == c.channel; });
    if (!isKnown) fail(t[0].position, "Unknown channel \"" + t[0].text + "\"");
    std::size_t i = 1;
    auto need = [&](const char* what) -> const Token& {
        if (i >= t.size()) fail(s.size() + 1, std::string("Expected ") + what);
        return t[i++];
    };
    const Token& test = need("above, below, outside, fail or silent");
    std::string word = lower(test.text);
    if (word == "above" || word == ">" || word == "below" || word == "<") {
        c.kind = (word == "above" || word == ">") ? ConditionKind::Above : ConditionKind::Below;
        const Token& v = need("a number");
        auto value = number(v.text);
        if (!value) fail(v.position, "Not a number: \"" + v.text + "\"");
        c.threshold = *value;
    } else if (word == "outside") {
        c.kind = ConditionKind::Outside;
        if (i < t.size() && lower(t[i].text) != "for" && lower(t[i].text) != "hyst" &&
            lower(t[i].text) != "hysteresis") {
            const Token& range = t[i++];
            std::size_t dots = range.text.find("..");
            auto low = dots == std::string::npos ? std::nullopt : number(std::string_view(range.text).substr(0, dots));
            auto high = dots == std::string::npos ? std::nullopt : number(std::string_view(range.text).substr(dots + 2));
            if (!low || !high) fail(range.position, "Limits read LOW..HIGH, such as 4.5..5.5");
            if (*low > *high) fail(range.position, "The low limit is above the high limit");
            c.low = low;
            c.high = high;
        }
    } else if (word == "fail") {
        c.kind = ConditionKind::Fail;
    } else if (word == "silent") {
        c.kind = ConditionKind::Silent;
        const Token& d = need("a time such as 10s");
        auto seconds = duration(d.text);
        if (!seconds || *seconds <= 0) fail(d.position, "Not a time: \"" + d.text + "\"");
        c.silentSeconds = *seconds;
    } else {
        fail(test.position, "Expected above, below, outside, fail or silent, not \"" + test.text + "\"");
    }
    while (i < t.size()) {
        const Token& option = t[i++];
        std::string o = lower(option.text);
        if (o == "for") {
            const Token& d = need("a hold time such as 3s");
            auto seconds = duration(d.text);
            if (!seconds) fail(d.position, "Not a time: \"" + d.text + "\"");
            c.holdSeconds = *seconds;
        } else if (o == "hyst" || o == "hysteresis") {
            const Token& v = need("a number");
            auto value = number(v.text);
            if (!value || *value < 0) fail(v.position, "The hysteresis must be a number of 0 or more");
            if (c.kind == ConditionKind::Fail || c.kind == ConditionKind::Silent)
                fail(option.position, "Hysteresis applies to above, below and outside only");
            c.hysteresis = *value;
        } else {
            fail(option.position, "Expected \"for\" or \"hyst\", not \"" + option.text + "\"");
        }
    }
    return c;
}

// The text of an action up to the next comma outside quotes, without the
// quotes; `i` moves past the comma.
std::string itemText(std::string_view s, std::size_t& i, std::size_t offset) {
    std::string out;
    char quote = 0;
    std::size_t quoteAt = 0;
    for (; i < s.size(); ++i) {
        char ch = s[i];
        if (quote) {
            if (ch == quote) quote = 0;
            else out += ch;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
            quoteAt = i;
        } else if (ch == ',') {
            ++i;
            break;
        } else {
            out += ch;
        }
    }
    if (quote) fail(offset + quoteAt + 1, "Quote not closed");
    std::size_t b = out.find_first_not_of(" \t");
    std::size_t e = out.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : out.substr(b, e - b + 1);
}

struct ActionName {
    const char* name;
    AlarmActionKind kind;
};

constexpr std::array<ActionName, 8> kActionNames{{
    {"sound", AlarmActionKind::Sound},
    {"message", AlarmActionKind::Message},
    {"mark", AlarmActionKind::Mark},
    {"start", AlarmActionKind::StartLogging},
    {"stop", AlarmActionKind::StopLogging},
    {"run", AlarmActionKind::Run},
    {"mqtt", AlarmActionKind::Mqtt},
    {"beep", AlarmActionKind::Sound},
}};

std::vector<AlarmAction> parseActions(std::string_view s, std::size_t offset) {
    std::vector<AlarmAction> actions;
    std::size_t i = 0;
    for (;;) {
        while (i < s.size() && isBlank(s[i])) ++i;
        if (i >= s.size()) {
            if (actions.empty()) fail(offset + i + 1, "No action after \":\"");
            fail(offset + i + 1, "Expected an action after \",\"");
        }
        std::size_t start = i;
        while (i < s.size() && !isBlank(s[i]) && s[i] != ',') ++i;
        std::string word = lower(s.substr(start, i - start));
        auto found = std::find_if(kActionNames.begin(), kActionNames.end(),
                                  [&](const ActionName& a) { return word == a.name; });
        if (found == kActionNames.end())
            fail(offset + start + 1, "Unknown action \"" + std::string(s.substr(start, i - start)) +
                                         "\" (sound, message, mark, start, stop, run, mqtt)");
        AlarmAction action;
        action.kind = found->kind;
        if (action.kind == AlarmActionKind::Run) {
            // The command takes the rest: its arguments may hold commas.
            auto argv = splitCommand(s.substr(i));
            if (auto* error = std::get_if<std::string>(&argv)) fail(offset + i + 1, *error);
            action.argv = std::get<std::vector<std::string>>(argv);
            if (action.argv.empty()) fail(offset + i + 1, "run needs a command");
            actions.push_back(std::move(action));
            return actions;
        }
        std::size_t textAt = i;
        std::string text = itemText(s, i, offset);
        bool takesText = action.kind == AlarmActionKind::Message || action.kind == AlarmActionKind::Mqtt;
        if (!text.empty() && !takesText) fail(offset + textAt + 1, "\"" + word + "\" takes no text");
        action.text = text;
        actions.push_back(std::move(action));
        if (i >= s.size() && (s.empty() || s.back() != ',')) return actions;
    }
}

}  // namespace

std::variant<std::vector<std::string>, std::string> splitCommand(std::string_view line) {
    std::vector<std::string> argv;
    std::string current;
    bool inWord = false;
    char quote = 0;
    for (char ch : line) {
        if (quote) {
            if (ch == quote) quote = 0;
            else current += ch;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
            inWord = true;
        } else if (isBlank(ch)) {
            if (inWord) argv.push_back(current);
            current.clear();
            inWord = false;
        } else {
            current += ch;
            inWord = true;
        }
    }
    if (quote) return std::string("Quote not closed");
    if (inWord) argv.push_back(current);
    return argv;
}

std::variant<Alarm, AlarmSpecError> parseAlarm(std::string_view text, const std::vector<std::string>& knownChannels) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return AlarmSpecError{text.size() + 1, "An alarm reads CONDITION: ACTION, such as \"CH1 > 5 for 3s: sound\""};
    try {
        Alarm alarm;
        alarm.condition = parseCondition(text.substr(0, colon), knownChannels);
        alarm.actions = parseActions(text.substr(colon + 1), colon + 1);
        alarm.text = std::string(text);
        return alarm;
    } catch (const Failure& failure) {
        return failure.error;
    }
}

std::variant<AlarmCondition, AlarmSpecError> parseAlarmCondition(std::string_view text,
                                                                 const std::vector<std::string>& knownChannels) {
    try {
        return parseCondition(text, knownChannels);
    } catch (const Failure& failure) {
        return failure.error;
    }
}

AlarmMonitor::AlarmMonitor(std::vector<Alarm> alarms, double startTime) : alarms_(std::move(alarms)) {
    for (const auto& a : alarms_) trackers_.emplace_back(a.condition, startTime);
    last_.resize(alarms_.size());
}

AlarmEvent AlarmMonitor::event(std::size_t index, ConditionChange change, double time) const {
    AlarmEvent e;
    e.alarm = index;
    e.change = change;
    e.time = time;
    e.channel = alarms_[index].condition.channel;
    e.hasValue = last_[index].hasValue;
    e.value = last_[index].value;
    e.unit = last_[index].unit;
    if (change == ConditionChange::Raised) e.actions = alarms_[index].actions;
    return e;
}

std::vector<AlarmEvent> AlarmMonitor::reading(const std::string& channel, const ConditionInput& input,
                                              const std::string& unit) {
    std::vector<AlarmEvent> events;
    std::string key = ChannelBoard::key(channel);
    for (std::size_t i = 0; i < alarms_.size(); ++i) {
        if (alarms_[i].condition.channel != key) continue;
        last_[i] = {input.hasValue, input.value, unit};
        ConditionChange change = trackers_[i].reading(input);
        if (change != ConditionChange::None) events.push_back(event(i, change, input.time));
    }
    return events;
}

std::vector<AlarmEvent> AlarmMonitor::tick(double now) {
    std::vector<AlarmEvent> events;
    for (std::size_t i = 0; i < alarms_.size(); ++i) {
        ConditionChange change = trackers_[i].tick(now);
        if (change != ConditionChange::None) events.push_back(event(i, change, now));
    }
    return events;
}

}  // namespace meterlink
