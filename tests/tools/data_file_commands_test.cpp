// meterlink-cli convert and report, run as child processes: what they write,
// how they fail, and that a failed or killed run leaves OUT as it was.

#include "../small_disk.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int exitCode = -1;   // -1 when killed
    std::string err;
};

// Runs meterlink-cli with args; a file size limit (bytes) makes the system
// kill it as soon as it writes beyond it.
CliRun runCli(const std::vector<std::string>& args, rlim_t fileSizeLimit = RLIM_INFINITY) {
    const std::string errFile = ::testing::TempDir() + std::to_string(getpid()) + "_cli_stderr.txt";
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::vector<char*> argv{const_cast<char*>(METERLINK_CLI)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(METERLINK_CLI, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    CliRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errFile);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<missing>");
}

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string logText(int rows) {
    std::string text = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n";
    for (int i = 1; i <= rows; ++i)
        text += std::to_string(i) + "\t2:03:22 PM\t" + (i % 2 ? "DC" : "NULL") + "\t-01.23\tk*\tpass\r\n";
    return text;
}

class DataFileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) / ("data_files_" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const char* name) const { return (dir / name).string(); }
    fs::path dir;
};

TEST_F(DataFileCommands, ConvertGoesToXmlAndBackWithoutChangingAByte) {
    const std::string original = logText(5);
    writeFile(at("log.xls"), original);
    for (const auto& [in, out] : {std::pair{"log.xls", "log.xml"}, {"log.xml", "log.txt"}, {"log.txt", "log.XML"}}) {
        const CliRun run = runCli({"convert", at(in), at(out)});
        EXPECT_EQ(run.exitCode, 0) << in << " to " << out << ": " << run.err;
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(readFile(at("log.xml")).rfind("<?xml", 0), 0u);
    EXPECT_EQ(readFile(at("log.txt")), original);
    EXPECT_EQ(readFile(at("log.XML")), original);   // upper case is text
}

TEST_F(DataFileCommands, AFailureSaysWhyExitsOneAndLeavesOutAlone) {
    writeFile(at("log.txt"), logText(3));
    writeFile(at("empty.txt"), logText(0));
    writeFile(at("bad.txt"), logText(2) + "1 2 3 4 5 6 7 8\r\n");
    writeFile(at("out.txt"), "previous");
    writeFile(at("out.pdf"), "previous");
    struct Case {
        std::vector<std::string> args;
        std::string message;
        std::string out;
    };
    const std::string missingFolder = at("no/such/folder/out.txt");
    const Case cases[] = {
        {{"convert", at("missing.txt"), at("out.txt")}, "Failed to Load File! no such file\n", at("out.txt")},
        {{"convert", at("bad.txt"), at("out.txt")}, "Failed to Load File! line 4 holds 8 values; a row has at most 7\n",
         at("out.txt")},
        {{"convert", at("/bin/sh"), at("out.txt")}, "Failed to Load File! not a data file: line 1 holds a zero byte\n",
         at("out.txt")},
        {{"convert", at("log.txt"), missingFolder}, "Could not save table to specified file: " + missingFolder + ": ",
         missingFolder},
        {{"report", at("bad.txt"), at("out.pdf")}, "Failed to Load File! line 4", at("out.pdf")},
        {{"report", at("empty.txt"), at("out.pdf")}, "holds no rows", at("out.pdf")},
    };
    for (const Case& c : cases) {
        const std::string before = readFile(c.out);
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.exitCode, 1) << c.args[1];
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(readFile(c.out), before) << c.args[1];
    }
    // A FIFO (or a device such as /dev/full) is not replaced by a plain file.
    const std::string fifo = at("rows.txt");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const CliRun run = runCli({"convert", at("log.txt"), fifo});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// A convert onto a full disk fails with the reason and keeps OUT, whatever
// the size of the log.
TEST_F(DataFileCommands, OntoAFullDiskFailsCleanly) {
    SmallDisk small("size=128k");
    if (!small.mounted()) GTEST_SKIP() << SmallDisk::kSkipReason;
    const std::string disk = small.path().toStdString();
    for (const char* out : {"/out.txt", "/out.xml"}) writeFile(disk + out, "previous");
    for (int rows : {5000, 1, 10, 100, 500}) {
        // First room for part of the log (a write the disk cuts short), then none.
        small.fill(rows == 5000 ? 16384 : 0);
        writeFile(at("in.txt"), logText(rows));
        for (const char* out : {"/out.txt", "/out.xml"}) {
            const CliRun run = runCli({"convert", at("in.txt"), disk + out});
            EXPECT_EQ(run.exitCode, 1) << rows << out;
            EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << rows << out << ": " << run.err;
            EXPECT_EQ(readFile(disk + out), "previous") << rows << out;
        }
    }
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(disk)) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"filler", "out.txt", "out.xml"}));
}

TEST_F(DataFileCommands, AConvertKilledWhileWritingLeavesThePreviousFile) {
    writeFile(at("big.txt"), logText(20000));
    for (const char* out : {"out.txt", "out.xml"}) {
        writeFile(at(out), "previous");
        const CliRun run = runCli({"convert", at("big.txt"), at(out)}, 64 * 1024);
        EXPECT_EQ(run.exitCode, -1) << out << " was not killed";
        EXPECT_EQ(readFile(at(out)), "previous") << out;
    }
}

TEST_F(DataFileCommands, ReportWritesEveryPageAsPdf) {
    writeFile(at("log.xls"), logText(40));
    const auto pagesOf = [](const std::string& pdf) {
        std::size_t pages = 0;
        for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos; at = pdf.find("/Type /Page\n", at + 1))
            ++pages;
        return pages;
    };
    // --plain: the two table pages as always; by default the summary page first.
    const CliRun plain = runCli({"report", at("log.xls"), at("plain.pdf"), "--plain"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    EXPECT_EQ(pagesOf(readFile(at("plain.pdf"))), 2u);
    const CliRun run = runCli({"report", "--title", "Board 7", at("log.xls"), at("report.pdf"), "--operator", "Night shift"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string pdf = readFile(at("report.pdf"));
    EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_EQ(pagesOf(pdf), 3u);
    EXPECT_EQ(runCli({"report", at("log.xls"), at("x.pdf"), "--operator"}).exitCode, 2);
    EXPECT_EQ(runCli({"report", at("log.xls"), at("x.pdf"), "--colour"}).exitCode, 2);
    // The first page as an image, to look at.
    if (std::system("command -v pdftoppm >/dev/null") == 0) {
        const std::string render = "pdftoppm -png -r 80 -f 1 -l 1 -singlefile '" + at("report.pdf") + "' '" +
                                   METERLINK_ARTIFACTS + "/cli-report-page1'";
        EXPECT_EQ(std::system(render.c_str()), 0);
    }
}

}  // namespace
