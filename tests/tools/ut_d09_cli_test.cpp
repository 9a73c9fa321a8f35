// meterlink-cli with a meter of the UT-D09 family, run as a child process:
// decode reads the meter's answers, meters names its binary request in hex,
// and send presses a button of the meter that simulate --usb plays.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
};

CliRun runCli(const std::string& args) {
    CliRun run;
    FILE* p = popen((std::string(METERLINK_CLI) + " " + args + " 2>&1").c_str(), "r");
    if (!p) return run;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) run.out.append(buf, n);
    const int status = pclose(p);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string tempPath(const std::string& name) { return ::testing::TempDir() + std::to_string(::getpid()) + "_" + name; }

TEST(UtD09Cli, DecodeReadsTheAnswersAndSkipsOneWithAWrongSum) {
    const std::string path = tempPath("answers.bin");
    {
        std::ofstream out(path, std::ios::binary);
        const std::vector<unsigned char> bytes{
            // 12.345 V DC; the same with a wrong sum; 0.0850 V AC, manual range.
            0xAB, 0xCD, 0x10, 0x02, 0x31, 0x20, 0x31, 0x32, 0x2E, 0x33, 0x34, 0x35, 0x00, 0x00, 0x30, 0x30, 0x30, 0x03, 0x98,
            0xAB, 0xCD, 0x10, 0x02, 0x31, 0x20, 0x31, 0x32, 0x2E, 0x33, 0x34, 0x35, 0x00, 0x00, 0x30, 0x30, 0x30, 0x03, 0x99,
            0xAB, 0xCD, 0x10, 0x00, 0x30, 0x20, 0x30, 0x2E, 0x30, 0x38, 0x35, 0x30, 0x00, 0x00, 0x30, 0x34, 0x30, 0x03, 0x97};
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    const CliRun run = runCli("decode --meter UT61E+ " + path);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("12.345"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("0.0850"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2 frames decoded, 1 rejected"), std::string::npos) << run.out;
    std::remove(path.c_str());
}

TEST(UtD09Cli, MetersShowsTheBinaryRequestAsHex) {
    const CliRun run = runCli("meters");
    EXPECT_NE(run.out.find("AB CD 03 5E 01 D9 every 150 ms"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\xAB'), std::string::npos);
}

TEST(UtD09Cli, SendPressesAButtonOfTheSimulatedMeter) {
    const std::string socket = tempPath("ut_d09.sock");
    const pid_t sim = ::fork();
    ASSERT_GE(sim, 0);
    if (sim == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        ::execl(METERLINK_CLI, METERLINK_CLI, "simulate", "--meter", "UT61E+", "--usb", socket.c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 100 && ::access(socket.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const CliRun hold = runCli("send --meter UT61E+ --port sim:" + socket + " hold");
    const CliRun release = runCli("send --meter UT61E+ --port sim:" + socket + " hold");
    const CliRun bad = runCli("send --meter UT61E+ --port sim:" + socket + " jump");
    const CliRun noCommands = runCli("send --meter UT61E --port sim:" + socket + " hold");
    ::kill(sim, SIGTERM);
    ::waitpid(sim, nullptr, 0);
    EXPECT_EQ(hold.exitCode, 0) << hold.out;
    EXPECT_NE(hold.out.find("sent hold to UNI-T UT61E+; it shows"), std::string::npos) << hold.out;
    EXPECT_NE(hold.out.find(" HOLD"), std::string::npos) << hold.out;
    EXPECT_EQ(release.exitCode, 0) << release.out;
    EXPECT_EQ(release.out.find(" HOLD"), std::string::npos) << release.out;   // pressed again: off
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.out.find("unknown command 'jump'"), std::string::npos) << bad.out;
    EXPECT_EQ(noCommands.exitCode, 2);
    EXPECT_NE(noCommands.out.find("takes no commands"), std::string::npos) << noCommands.out;
    const CliRun gone = runCli("send --meter UT61E+ --port sim:" + socket + " hold");
    EXPECT_EQ(gone.exitCode, 1);
    EXPECT_NE(gone.out.find("no UT-D09 cable"), std::string::npos) << gone.out;
}

}  // namespace
