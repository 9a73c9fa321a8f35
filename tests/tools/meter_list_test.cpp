// The README's list of meters is the one `meterlink-cli meters --markdown`
// prints from the meter table: a model added to the table and not to the
// README (scripts/update-meter-list) fails here.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string commandOutput(const std::string& cmd) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

TEST(MeterList, ReadmeListIsTheTableAsPrinted) {
    std::ifstream in(METERLINK_README);
    ASSERT_TRUE(in) << METERLINK_README;
    const std::string readme(std::istreambuf_iterator<char>(in), {});
    const std::string begin = "<!-- meter-list:begin -->\n", end = "<!-- meter-list:end -->";
    const std::size_t from = readme.find(begin), to = readme.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    const std::string listed = readme.substr(from + begin.size(), to - from - begin.size());
    const std::string printed = commandOutput(std::string(METERLINK_CLI) + " meters --markdown");
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(listed, printed.back() == '\n' ? printed : printed + "\n")
        << "run scripts/update-meter-list";
}

}  // namespace
