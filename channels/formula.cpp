#include "channels/formula.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <functional>

#include "channels/derived_unit.h"

namespace meterlink {

enum class NodeKind { Number, Channel, Negate, Add, Subtract, Multiply, Divide, Function };

struct FormulaNode {
    NodeKind kind = NodeKind::Number;
    std::size_t position = 0;  // 1-based
    double number = 0;
    std::string name;  // channel key or function name
    std::vector<std::shared_ptr<const FormulaNode>> children;
};

std::string FormulaError::text() const { return message + " at position " + std::to_string(position); }

namespace {

using NodePtr = std::shared_ptr<const FormulaNode>;

bool isNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

struct FunctionInfo {
    const char* name;
    std::size_t minArgs;
    std::size_t maxArgs;
};

// avg(CHANNEL, N): the mean of the channel's last N readings.
constexpr std::array<FunctionInfo, 4> kFunctions{{
    {"ABS", 1, 1},
    {"MIN", 2, 16},
    {"MAX", 2, 16},
    {"AVG", 2, 2},
}};

const FunctionInfo* findFunction(const std::string& key) {
    for (const auto& f : kFunctions) {
        if (key == f.name) return &f;
    }
    return nullptr;
}

struct ParseFailure {
    FormulaError error;
};

class Parser {
public:
    Parser(std::string_view text, std::size_t offset, const std::vector<std::string>& known)
        : text_(text), offset_(offset) {
        for (const auto& k : known) known_.push_back(ChannelBoard::key(k));
    }

    NodePtr parseAll() {
        NodePtr node = expression(0);
        skipSpace();
        if (pos_ < text_.size()) fail(pos_, "Unexpected \"" + std::string(1, text_[pos_]) + "\"");
        return node;
    }

private:
    static constexpr int kMaxDepth = 64;

    [[noreturn]] void fail(std::size_t at, std::string message) {
        throw ParseFailure{FormulaError{offset_ + at + 1, std::move(message)}};
    }

    void skipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }

    bool accept(char c) {
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    NodePtr make(NodeKind kind, std::size_t at, std::vector<NodePtr> children = {}) {
        auto node = std::make_shared<FormulaNode>();
        node->kind = kind;
        node->position = offset_ + at + 1;
        node->children = std::move(children);
        return node;
    }

    NodePtr expression(int depth) {
        if (depth > kMaxDepth) fail(pos_, "Formula nested too deeply");
        NodePtr left = term(depth);
        for (;;) {
            skipSpace();
            std::size_t at = pos_;
            if (accept('+')) left = make(NodeKind::Add, at, {left, term(depth)});
            else if (accept('-')) left = make(NodeKind::Subtract, at, {left, term(depth)});
            else return left;
        }
    }

    NodePtr term(int depth) {
        NodePtr left = unary(depth);
        for (;;) {
            skipSpace();
            std::size_t at = pos_;
            if (accept('*')) left = make(NodeKind::Multiply, at, {left, unary(depth)});
            else if (accept('/')) left = make(NodeKind::Divide, at, {left, unary(depth)});
            else return left;
        }
    }

    NodePtr unary(int depth) {
        if (depth > kMaxDepth) fail(pos_, "Formula nested too deeply");
        skipSpace();
        std::size_t at = pos_;
        if (accept('-')) return make(NodeKind::Negate, at, {unary(depth + 1)});
        if (accept('+')) return unary(depth + 1);
        return primary(depth);
    }

    NodePtr primary(int depth) {
        skipSpace();
        std::size_t at = pos_;
        if (pos_ >= text_.size()) fail(pos_, "Formula ends too early");
        char c = text_[pos_];
        if (c == '(') {
            ++pos_;
            NodePtr inner = expression(depth + 1);
            if (!accept(')')) fail(pos_, "Missing \")\"");
            return inner;
        }
        if (isDigit(c) || c == '.') return number();
        if (isNameStart(c)) {
            std::size_t start = pos_;
            while (pos_ < text_.size() && isNameChar(text_[pos_])) ++pos_;
            const std::string name(text_.substr(start, pos_ - start));
            std::string key = ChannelBoard::key(name);
            skipSpace();
            if (pos_ < text_.size() && text_[pos_] == '(') return call(key, at, depth);
            if (std::find(known_.begin(), known_.end(), key) == known_.end())
                fail(at, "Unknown channel \"" + name + "\"");
            auto node = std::make_shared<FormulaNode>();
            node->kind = NodeKind::Channel;
            node->position = offset_ + at + 1;
            node->name = key;
            return node;
        }
        fail(at, "Unexpected \"" + std::string(1, c) + "\"");
    }

    NodePtr number() {
        std::size_t start = pos_;
        while (pos_ < text_.size() && (isDigit(text_[pos_]) || text_[pos_] == '.')) ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            std::size_t e = pos_ + 1;
            if (e < text_.size() && (text_[e] == '+' || text_[e] == '-')) ++e;
            if (e < text_.size() && isDigit(text_[e])) {
                pos_ = e;
                while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
            }
        }
        double value = 0;
        const char* first = text_.data() + start;
        const char* last = text_.data() + pos_;
        auto [end, ec] = std::from_chars(first, last, value);
        if (ec != std::errc() || end != last || !std::isfinite(value)) fail(start, "Not a number");
        auto node = std::make_shared<FormulaNode>();
        node->kind = NodeKind::Number;
        node->position = offset_ + start + 1;
        node->number = value;
        return node;
    }

    NodePtr call(const std::string& key, std::size_t at, int depth) {
        const FunctionInfo* info = findFunction(key);
        if (!info) fail(at, "Unknown function \"" + key + "\"");
        accept('(');
        std::vector<NodePtr> args;
        if (!accept(')')) {
            do {
                args.push_back(expression(depth + 1));
            } while (accept(','));
            if (!accept(')')) fail(pos_, "Missing \")\"");
        }
        if (args.size() < info->minArgs || args.size() > info->maxArgs)
            fail(at, "Wrong number of arguments to " + key);
        if (key == "AVG") {
            if (args[0]->kind != NodeKind::Channel) fail(args[0]->position - offset_ - 1, "avg needs a channel");
            const auto& count = *args[1];
            if (count.kind != NodeKind::Number || count.number < 1 || count.number > double(Formula::kMaxAverageCount) ||
                count.number != std::floor(count.number))
                fail(count.position - offset_ - 1, "The count of avg must be a whole number from 1 to " +
                                                       std::to_string(Formula::kMaxAverageCount));
        }
        auto node = std::make_shared<FormulaNode>();
        node->kind = NodeKind::Function;
        node->position = offset_ + at + 1;
        node->name = key;
        node->children = std::move(args);
        return node;
    }

    std::string_view text_;
    std::size_t offset_;
    std::size_t pos_ = 0;
    std::vector<std::string> known_;
};

// A channel's input to one evaluation: its value, or why it has none.
using ChannelLookup = std::function<FormulaValue(const FormulaNode& channelOrAverage)>;

// Evaluation keeps "no unit yet" apart from "a pure number": a literal takes
// the unit of what it is added to (CH1 * 1000 - 5 stays in CH1's unit).
struct Partial {
    FormulaValue v;
    bool literal = false;
};

Partial noValue(std::string reason) {
    Partial p;
    p.v.reason = std::move(reason);
    return p;
}

std::string at(const FormulaNode& n) { return " at position " + std::to_string(n.position); }

class Evaluator {
public:
    Evaluator(ChannelLookup lookup, bool unitsOnly) : lookup_(std::move(lookup)), unitsOnly_(unitsOnly) {}

    Partial eval(const FormulaNode& n) const {
        switch (n.kind) {
        case NodeKind::Number: {
            Partial p;
            p.v.hasValue = true;
            p.v.value = n.number;
            p.literal = true;
            return p;
        }
        case NodeKind::Channel: {
            Partial p;
            p.v = lookup_(n);
            return p;
        }
        case NodeKind::Negate: {
            Partial p = eval(*n.children[0]);
            p.v.value = -p.v.value;
            return p;
        }
        case NodeKind::Add:
        case NodeKind::Subtract:
            return sum(n);
        case NodeKind::Multiply:
        case NodeKind::Divide:
            return product(n);
        case NodeKind::Function:
            return function(n);
        }
        return noValue("internal error");
    }

private:
    Partial sum(const FormulaNode& n) const {
        Partial a = eval(*n.children[0]);
        if (!a.v.hasValue) return a;
        Partial b = eval(*n.children[1]);
        if (!b.v.hasValue) return b;
        Partial r;
        r.literal = a.literal && b.literal;
        if (a.literal) r.v.unit = b.v.unit;
        else if (b.literal) r.v.unit = a.v.unit;
        else if (auto u = sumUnit(a.v.unit, b.v.unit)) r.v.unit = *u;
        else return noValue(unitMismatch(a.v.unit, n.kind == NodeKind::Add ? "+" : "-", b.v.unit) + at(n));
        r.v.hasValue = true;
        r.v.value = n.kind == NodeKind::Add ? a.v.value + b.v.value : a.v.value - b.v.value;
        return r;
    }

    Partial product(const FormulaNode& n) const {
        Partial a = eval(*n.children[0]);
        if (!a.v.hasValue) return a;
        Partial b = eval(*n.children[1]);
        if (!b.v.hasValue) return b;
        Partial r;
        r.literal = a.literal && b.literal;
        r.v.hasValue = true;
        if (n.kind == NodeKind::Multiply) {
            r.v.unit = productUnit(a.v.unit, b.v.unit);
            r.v.value = a.v.value * b.v.value;
        } else {
            r.v.unit = quotientUnit(a.v.unit, b.v.unit);
            if (b.v.value == 0) {
                if (!unitsOnly_) return noValue("Division by zero" + at(n));
                r.v.value = 1;
            } else {
                r.v.value = a.v.value / b.v.value;
            }
        }
        return r;
    }

    Partial function(const FormulaNode& n) const {
        if (n.name == "AVG") {
            Partial p;
            p.v = lookup_(n);
            return p;
        }
        std::vector<Partial> args;
        for (const auto& child : n.children) {
            args.push_back(eval(*child));
            if (!args.back().v.hasValue) return args.back();
        }
        if (n.name == "ABS") {
            Partial p = args[0];
            p.v.value = std::fabs(p.v.value);
            return p;
        }
        // min and max: their arguments must add up, unit-wise.
        Partial r = args[0];
        for (std::size_t i = 1; i < args.size(); ++i) {
            const Partial& b = args[i];
            if (r.literal) r.v.unit = b.v.unit;
            else if (!b.literal && !sumUnit(r.v.unit, b.v.unit))
                return noValue(unitMismatch(r.v.unit, ",", b.v.unit) + at(n));
            r.literal = r.literal && b.literal;
            r.v.value = n.name == "MIN" ? std::min(r.v.value, b.v.value) : std::max(r.v.value, b.v.value);
        }
        return r;
    }

    static std::string unitMismatch(const std::string& a, const char* op, const std::string& b) {
        auto shown = [](const std::string& u) { return u.empty() ? std::string("a pure number") : u; };
        return "Units differ (" + shown(a) + " " + op + " " + shown(b) + ")";
    }

    ChannelLookup lookup_;
    bool unitsOnly_;
};

void collectNeeds(const FormulaNode& n, std::map<std::string, std::size_t>& needs) {
    if (n.kind == NodeKind::Channel) {
        needs.emplace(n.name, 1);
        return;
    }
    if (n.kind == NodeKind::Function && n.name == "AVG") {
        auto count = static_cast<std::size_t>(n.children[1]->number);
        auto& need = needs[n.children[0]->name];
        need = std::max(need, count);
        return;
    }
    for (const auto& c : n.children) collectNeeds(*c, needs);
}

bool hasChannel(const FormulaNode& n) {
    if (n.kind == NodeKind::Channel) return true;
    return std::any_of(n.children.begin(), n.children.end(), [](const auto& c) { return hasChannel(*c); });
}

// A division by a constant zero (CH1 / 0, CH1 / (2 - 2)) is an error of the
// text, not of a reading.
const FormulaNode* constantZeroDivisor(const FormulaNode& n) {
    if (n.kind == NodeKind::Divide && !hasChannel(*n.children[1])) {
        Evaluator constant([](const FormulaNode&) { return FormulaValue{}; }, false);
        Partial d = constant.eval(*n.children[1]);
        if (!d.v.hasValue || d.v.value == 0) return &n;
    }
    for (const auto& c : n.children) {
        if (const FormulaNode* z = constantZeroDivisor(*c)) return z;
    }
    return nullptr;
}

std::string trimmed(std::string_view s, std::size_t& offset) {
    std::size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t')) ++b;
    std::size_t e = s.size();
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    offset += b;
    return std::string(s.substr(b, e - b));
}

}  // namespace

std::variant<Formula, FormulaError> Formula::parse(std::string_view definition,
                                                   const std::vector<std::string>& knownChannels) {
    if (definition.size() > kMaxLength)
        return FormulaError{kMaxLength + 1, "Formula longer than " + std::to_string(kMaxLength) + " characters"};
    std::size_t eq = definition.find('=');
    std::size_t nameOffset = 0;
    std::string name = trimmed(definition.substr(0, eq == std::string_view::npos ? 0 : eq), nameOffset);
    if (eq == std::string_view::npos) return FormulaError{1, "A calculated channel reads NAME = FORMULA"};
    if (name.empty() || !isNameStart(name[0]) ||
        !std::all_of(name.begin(), name.end(), [](char c) { return isNameChar(c); }))
        return FormulaError{nameOffset + 1, "The name must be letters, digits or _, starting with a letter"};
    std::string key = ChannelBoard::key(name);
    if (findFunction(key)) return FormulaError{nameOffset + 1, "\"" + name + "\" is the name of a function"};
    for (const auto& k : knownChannels) {
        if (ChannelBoard::key(k) == key)
            return FormulaError{nameOffset + 1, "\"" + name + "\" is already a channel"};
    }

    std::string_view rest = definition.substr(eq + 1);
    std::size_t exprOffset = eq + 1;
    Formula formula;
    formula.name_ = key;
    std::size_t open = rest.find('[');
    if (open != std::string_view::npos) {
        std::size_t close = rest.find(']', open);
        if (close == std::string_view::npos) return FormulaError{exprOffset + open + 1, "Missing \"]\" after the unit"};
        std::size_t unitOffset = exprOffset + open + 1;
        formula.givenUnit_ = trimmed(rest.substr(open + 1, close - open - 1), unitOffset);
        if (formula.givenUnit_.empty()) return FormulaError{exprOffset + open + 1, "Empty unit"};
        if (formula.givenUnit_.size() > 20) return FormulaError{unitOffset + 1, "Unit longer than 20 bytes"};
        for (std::size_t i = close + 1; i < rest.size(); ++i) {
            if (rest[i] != ' ' && rest[i] != '\t')
                return FormulaError{exprOffset + i + 1, "Nothing may follow the unit"};
        }
        rest = rest.substr(0, open);
    }
    std::size_t ignored = 0;
    if (trimmed(rest, ignored).empty())
        return FormulaError{eq + 2, "The formula is missing after \"=\""};
    try {
        Parser parser(rest, eq + 1, knownChannels);
        formula.root_ = parser.parseAll();
    } catch (const ParseFailure& failure) {
        return failure.error;
    }
    if (const FormulaNode* zero = constantZeroDivisor(*formula.root_))
        return FormulaError{zero->position, "Division by zero"};
    return formula;
}

std::map<std::string, std::size_t> Formula::readingsNeeded() const {
    std::map<std::string, std::size_t> needs;
    collectNeeds(*root_, needs);
    return needs;
}

std::optional<FormulaError> Formula::checkUnits(const std::map<std::string, std::string>& unitByChannel) const {
    std::map<std::string, std::string> units;
    for (const auto& [name, unit] : unitByChannel) units[ChannelBoard::key(name)] = unit;
    Evaluator evaluator(
        [&](const FormulaNode& n) {
            const std::string& channel = n.kind == NodeKind::Channel ? n.name : n.children[0]->name;
            auto it = units.find(channel);
            FormulaValue v;
            v.hasValue = true;
            v.value = 1;
            v.unit = it == units.end() ? std::string() : it->second;
            return v;
        },
        true);
    Partial p = evaluator.eval(*root_);
    if (p.v.hasValue) return std::nullopt;
    // The reason ends with " at position N".
    std::size_t cut = p.v.reason.rfind(" at position ");
    FormulaError error;
    error.message = p.v.reason.substr(0, cut);
    error.position = cut == std::string::npos ? 1 : std::stoul(p.v.reason.substr(cut + 13));
    return error;
}

FormulaValue Formula::evaluate(const ChannelBoard& board, double now) const {
    Evaluator evaluator(
        [&](const FormulaNode& n) {
            FormulaValue v;
            const std::string& channel = n.kind == NodeKind::Channel ? n.name : n.children[0]->name;
            const auto* history = board.history(channel);
            if (!history || history->empty()) {
                v.reason = channel + " has no reading";
                return v;
            }
            if (!board.isFresh(channel, now)) {
                v.reason = channel + " has no recent reading";
                return v;
            }
            std::size_t count = n.kind == NodeKind::Channel ? 1 : static_cast<std::size_t>(n.children[1]->number);
            if (history->size() < count) {
                v.reason = channel + " has fewer than " + std::to_string(count) + " readings";
                return v;
            }
            const std::string& unit = history->back().unit;
            double sum = 0;
            for (auto it = history->end() - static_cast<std::ptrdiff_t>(count); it != history->end(); ++it) {
                if (!it->hasValue) {
                    v.reason = channel + " shows no number";
                    return v;
                }
                if (it->unit != unit) {
                    v.reason = channel + " changed its unit";
                    return v;
                }
                sum += it->value;
            }
            v.hasValue = true;
            v.value = sum / double(count);
            v.unit = unit;
            return v;
        },
        false);
    Partial p = evaluator.eval(*root_);
    if (p.v.hasValue && !std::isfinite(p.v.value)) return noValue("Result out of range").v;
    if (p.v.hasValue && !givenUnit_.empty()) p.v.unit = givenUnit_;
    return p.v;
}

}  // namespace meterlink
