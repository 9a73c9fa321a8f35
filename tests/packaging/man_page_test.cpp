// The manual pages document exactly the commands and options that the
// programs' --help lists, and the programs, the pages and the software-centre
// releases carry the project's one version.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Commands and their options; "" holds the program's own options.
using OptionsByCommand = std::map<std::string, std::set<std::string>>;

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// Every command has these; the pages state them once.
bool universal(const std::string& option) { return option == "-h" || option == "--help"; }

// Long options, and short ones of a single letter (so "-OL" or "-6000" in a
// help text are not taken for options).
std::vector<std::string> optionsIn(const std::string& text) {
    static const std::regex option(R"((?:^|[\s\[(|,'"])(--[A-Za-z][A-Za-z0-9-]*|-[A-Za-z])(?![A-Za-z0-9]))");
    std::vector<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        if (!universal((*it)[1])) found.push_back((*it)[1]);
    return found;
}

// From `PROGRAM --help` and `PROGRAM COMMAND [MODE...] --help` for each
// command its usage lines name ("simulate --usb SOCKET" is asked as
// "simulate --usb --help").
OptionsByCommand fromHelp(const std::string& program, const std::string& path) {
    OptionsByCommand result{{"", {}}};
    std::set<std::vector<std::string>> invocations;
    const std::regex commandUse("\\b" + program + " ([a-z][a-z0-9-]*)((?: --?[a-z][a-z0-9-]*)*)");
    const std::regex ownUse("\\b" + program + " -");
    // A program with commands states its own options on a usage line
    // ("meterlink-cli --help | --version"); the other lines describe commands.
    std::set<std::string> ownOptions, otherOptions;
    for (const std::string& line : lines(run(path + " --help"))) {
        std::smatch use;
        if (!std::regex_search(line, use, commandUse)) {
            for (const std::string& o : optionsIn(line))
                (std::regex_search(line, ownUse) ? ownOptions : otherOptions).insert(o);
            continue;
        }
        std::vector<std::string> invocation{use[1]};
        for (const std::string& mode : optionsIn(use[2])) invocation.push_back(mode);
        invocations.insert(invocation);
        for (const std::string& o : optionsIn(line)) result[use[1]].insert(o);
    }
    result[""] = ownOptions;
    if (invocations.empty()) result[""].insert(otherOptions.begin(), otherOptions.end());
    for (const auto& invocation : invocations) {
        std::string command = path;
        for (const std::string& word : invocation) command += " " + word;
        auto& options = result[invocation.front()];
        for (const std::string& o : optionsIn(run(command + " --help"))) options.insert(o);
        options.insert(invocation.begin() + 1, invocation.end());
    }
    return result;
}

// From the page's source: options are defined by lines that start with one in
// bold ("*--high* _X_"); those under OPTIONS are the program's, those under a
// "## COMMAND" heading in COMMANDS the command's.
OptionsByCommand fromManSource(const std::string& text) {
    OptionsByCommand result;
    const std::regex boldOption(R"(\*(--?[A-Za-z][A-Za-z0-9-]*)\*)");
    const std::string* section = nullptr;
    bool inCommands = false;
    for (const std::string& line : lines(text)) {
        if (line.rfind("# ", 0) == 0) {
            inCommands = line == "# COMMANDS";
            section = line == "# OPTIONS" ? &result.emplace("", std::set<std::string>{}).first->first : nullptr;
        } else if (inCommands && line.rfind("## ", 0) == 0) {
            std::string name = line.substr(3);
            name.erase(0, name.find_first_not_of('*'));
            name = name.substr(0, name.find_first_of("* "));
            section = &result.emplace(name, std::set<std::string>{}).first->first;
        } else if (section && line.rfind("*-", 0) == 0) {
            for (auto it = std::sregex_iterator(line.begin(), line.end(), boldOption); it != std::sregex_iterator(); ++it)
                if (!universal((*it)[1])) result[*section].insert((*it)[1]);
        }
    }
    return result;
}

std::string joined(const std::set<std::string>& items) {
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
    return out;
}

std::set<std::string> missingFrom(const std::set<std::string>& from, const std::set<std::string>& in) {
    std::set<std::string> missing;
    for (const std::string& item : in)
        if (!from.count(item)) missing.insert(item);
    return missing;
}

struct Program {
    const char* name;
    const char* path;
};

void PrintTo(const Program& p, std::ostream* os) { *os << p.name; }

class ManPage : public ::testing::TestWithParam<Program> {
protected:
    std::string manSource() const { return std::string(METERLINK_MAN_SOURCES) + "/" + GetParam().name + ".1.scd"; }
};

TEST_P(ManPage, documents_every_command_and_option_of_help_and_no_other) {
    const Program& p = GetParam();
    const std::string page = manSource();
    const std::string source = readFile(page);
    ASSERT_FALSE(source.empty()) << "cannot read " << page;
    const OptionsByCommand help = fromHelp(p.name, p.path);
    const OptionsByCommand man = fromManSource(source);
    ASSERT_GT(help.size() + help.at("").size(), 1u) << p.path << " --help printed no commands or options";

    std::ostringstream faults;
    auto where = [&](const std::string& command) {
        return command.empty() ? std::string(p.name) + " (under # OPTIONS)"
                               : std::string(p.name) + " " + command + " (under ## " + command + ")";
    };
    for (const auto& [command, options] : help) {
        const auto documented = man.find(command);
        if (documented == man.end()) {
            faults << "  " << p.name << " " << command << ": a command of --help with no \"## " << command
                   << "\" heading under # COMMANDS in the page\n";
            continue;
        }
        if (const auto missing = missingFrom(documented->second, options); !missing.empty())
            faults << "  " << where(command) << ": in --help but not in the page: " << joined(missing) << "\n";
        if (const auto extra = missingFrom(options, documented->second); !extra.empty())
            faults << "  " << where(command) << ": in the page but not in --help: " << joined(extra) << "\n";
    }
    for (const auto& [command, options] : man)
        if (!help.count(command))
            faults << "  " << p.name << " " << command << ": a command in the page that --help does not name\n";
    EXPECT_TRUE(faults.str().empty())
        << page << " and --help differ:\n"
        << faults.str()
        << "Document an option in the page by a line that starts with it in bold (\"*--option* _VALUE_\") "
           "followed by a tab-indented description, under the command's \"## COMMAND\" heading.";
}

TEST_P(ManPage, stamps_the_version_the_program_reports) {
    const Program& p = GetParam();
    EXPECT_EQ(run(std::string(p.path) + " --version"), std::string(p.name) + " " METERLINK_VERSION "\n");
    const std::string roff = readFile(std::string(METERLINK_MAN_DIR) + "/" + p.name + ".1");
    EXPECT_NE(roff.find("MeterLink " METERLINK_VERSION), std::string::npos) << "the built page lacks the version";
}

const Program kPrograms[] = {
#ifdef METERLINK_PROGRAM
    {"meterlink", METERLINK_PROGRAM},
#endif
    {"meterlink-cli", METERLINK_CLI},
};

INSTANTIATE_TEST_SUITE_P(Programs, ManPage, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& program) {
                             std::string name = program.param.name;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

TEST(SoftwareCentreData, newest_release_is_the_projects_version) {
    const std::string metainfo = readFile(METERLINK_METAINFO);
    std::smatch newest;
    ASSERT_TRUE(std::regex_search(metainfo, newest, std::regex(R"re(<release\s+version="([^"]+)")re")))
        << METERLINK_METAINFO << " has no <release>";
    EXPECT_EQ(newest[1], METERLINK_VERSION)
        << "add a <release version=\"" METERLINK_VERSION "\" date=\"YYYY-MM-DD\"> on top of <releases> in "
        << METERLINK_METAINFO;
}

}  // namespace
