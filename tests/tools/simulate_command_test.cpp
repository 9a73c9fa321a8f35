// Runs `meterlink-cli simulate` as a child process and reads its port the way
// the program does: through the frame assembler and the reading decoder.

#include "protocol/frame_assembler.h"
#include "protocol/reading_decoder.h"

#include "protocol/meters/family_frame_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using meterlink::Lcd;

// Long enough for a loaded machine; only reached when something hangs.
constexpr auto kHangGuard = std::chrono::seconds(20);

struct Decoded {
    meterlink::MeterReading reading;
    meterlink::LcdState lcd;
};

// A running simulator with its standard output and error on pipes.
class Simulator {
public:
    explicit Simulator(const std::vector<std::string>& args) {
        int out[2], err[2];
        if (::pipe(out) != 0 || ::pipe(err) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            ::close(err[0]);
            ::close(err[1]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(METERLINK_CLI));
            argv.push_back(const_cast<char*>("simulate"));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(METERLINK_CLI, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
    }

    ~Simulator() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_, port_})
            if (fd >= 0) ::close(fd);
    }

    bool started() const { return pid_ > 0; }

    // The first line of standard output: the port's path (empty at EOF).
    std::string readLine() {
        std::string line;
        char c;
        while (waitReadable(out_) && ::read(out_, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }

    bool openPort(const std::string& path, int mode = O_RDONLY) {
        port_ = ::open(path.c_str(), mode | O_NOCTTY);
        return port_ >= 0;
    }

    // Reads the port until `wanted` frames are decoded, the port closes or the
    // hang guard runs out.
    // arrivals, if given, gets the moment each frame was decoded.
    std::vector<Decoded> readFrames(std::size_t wanted,
                                    std::vector<std::chrono::steady_clock::time_point>* arrivals = nullptr) {
        std::vector<Decoded> frames;
        meterlink::ReadingDecoder decoder;
        meterlink::FrameAssembler assembler([&](const meterlink::MeterFrame& frame) {
            if (frames.size() >= wanted) return;
            if (decoder.decode(frame, ".") != meterlink::DecodeResult::Decoded) {
                ++badFrames;
                return;
            }
            frames.push_back({decoder.reading(), decoder.lcd()});
            if (arrivals) arrivals->push_back(std::chrono::steady_clock::now());
        });
        std::uint8_t buf[256];
        const auto giveUp = std::chrono::steady_clock::now() + kHangGuard;
        while (frames.size() < wanted && std::chrono::steady_clock::now() < giveUp && waitReadable(port_)) {
            const ssize_t n = ::read(port_, buf, sizeof buf);
            if (n <= 0) break;   // hung up
            assembler.feed(buf, static_cast<std::size_t>(n));
        }
        rejectedFrames = assembler.rejectedCount();
        return frames;
    }

    // Sends bytes to the simulated meter, as a reader's requests.
    bool writePort(const std::string& bytes) {
        return ::write(port_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads from the port until `lines` CRs have come (or the guard runs out).
    std::string readLines(std::size_t lines) {
        std::string bytes;
        char buf[256];
        while (static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\r')) < lines && waitReadable(port_)) {
            const ssize_t n = ::read(port_, buf, sizeof buf);
            if (n <= 0) break;
            bytes.append(buf, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    // Bytes waiting on the opened port.
    int portQueuedBytes() const {
        int n = -1;
        ::ioctl(port_, FIONREAD, &n);
        return n;
    }

    // Everything the port delivers until the simulator hangs it up.
    std::string readRaw() {
        std::string bytes;
        char buf[256];
        while (waitReadable(port_)) {
            const ssize_t n = ::read(port_, buf, sizeof buf);
            if (n <= 0) break;
            bytes.append(buf, static_cast<std::size_t>(n));
        }
        return bytes;
    }

    // The exit status, or -1 when the process did not end in time (it is then killed).
    int waitExit() {
        const auto giveUp = std::chrono::steady_clock::now() + kHangGuard;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > giveUp) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        exited_ = true;
        if (WIFSIGNALED(status)) return 1000 + WTERMSIG(status);
        return WEXITSTATUS(status);
    }

    int stop(int signal) {
        ::kill(pid_, signal);
        return waitExit();
    }

    std::string readAll(bool fromStderr) {
        const int fd = fromStderr ? err_ : out_;
        std::string text;
        char buf[256];
        ssize_t n;
        while (waitReadable(fd) && (n = ::read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<std::size_t>(n));
        return text;
    }

    std::size_t rejectedFrames = 0;
    std::size_t badFrames = 0;

private:
    static bool waitReadable(int fd) {
        pollfd p{fd, POLLIN, 0};
        const int ms = static_cast<int>(std::chrono::milliseconds(kHangGuard).count());
        return ::poll(&p, 1, ms) == 1;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    int port_ = -1;
    bool exited_ = false;
};

std::string writeTempFile(const std::string& name, const std::string& text) {
    // Test cases run in processes of their own, several at a time.
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(SimulateCommand, BuiltInTourShowsEveryIndicatorAndDecodesCleanly) {
    Simulator sim({"--rate", "200"});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.readLine();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(sim.openPort(path)) << path;

    // A little more than one round of the tour.
    const std::vector<Decoded> frames = sim.readFrames(200);
    ASSERT_EQ(frames.size(), 200u);
    EXPECT_EQ(sim.rejectedFrames, 0u) << "the stream must be frame-aligned from its first byte";
    EXPECT_EQ(sim.badFrames, 0u);
    EXPECT_EQ(sim.stop(SIGTERM), 0);

    std::vector<bool> seen(meterlink::kLcdIndicatorCount, false);
    std::set<std::string> units, functions, autoTexts, values;
    bool overloadUp = false, overloadDown = false, overloadDigit = false;
    for (const Decoded& f : frames) {
        for (std::size_t i = 0; i < seen.size(); ++i)
            if (f.lcd.on.test(i)) seen[i] = true;
        units.insert(f.reading.UnitText);
        functions.insert(f.reading.FunctionText);
        autoTexts.insert(f.reading.AutoText);
        values.insert(f.reading.ValueText);
        overloadUp |= f.reading.ReadingValue == f.reading.FullCount + 1;
        overloadDown |= f.reading.ReadingValue == -(f.reading.FullCount + 1);
        overloadDigit |= f.lcd.digits[2] == '@';
    }
    for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(seen[i]) << "LCD indicator " << i << " never shown";
    for (const char* unit : {"V", "mV", "A", "mA", "uA", "*", "k*", "M*", "nF", "uF", "#", "?", "Hz", "%"})
        EXPECT_EQ(units.count(unit), 1u) << "unit " << unit;
    for (const char* function : {"DC", "AC", "OHM", "Diode", "CAP", "TMP", "Freq", "DutyCycle"})
        EXPECT_EQ(functions.count(function), 1u) << "function " << function;
    EXPECT_EQ(autoTexts, (std::set<std::string>{"AUTO", "MANU"}));
    EXPECT_TRUE(overloadUp);
    EXPECT_TRUE(overloadDown);
    EXPECT_TRUE(overloadDigit);
    // Drifting values: many more distinct readings than tour steps.
    EXPECT_GT(values.size(), 60u);
}

TEST(SimulateCommand, ScenarioFilePlaysItsReadingsInOrderAndStopsAfterCount) {
    const std::string file = writeTempFile("sim_scenario.txt",
                                           "# bench check\n"
                                           "DCV 5.999\r\n"
                                           "\n"
                                           "   # indented comment\n"
                                           "OHM k -OL\n"
                                           "CAP u 1.234 manual hold\n");
    Simulator sim({"--rate", "100", "--count", "7", "--scenario", file});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.readLine();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(sim.openPort(path)) << path;

    const std::vector<Decoded> frames = sim.readFrames(7);
    ASSERT_EQ(frames.size(), 7u);
    EXPECT_EQ(sim.waitExit(), 0);

    struct Expected {
        const char* value;
        const char* unit;
        const char* autoText;
        bool hold;
    };
    const Expected cycle[] = {{"5.999", "V", "AUTO", false}, {"0L", "k*", "AUTO", false}, {"1.234", "uF", "MANU", true}};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Expected& e = cycle[i % 3];
        SCOPED_TRACE("frame " + std::to_string(i));
        EXPECT_EQ(frames[i].reading.ValueText, e.value);
        EXPECT_EQ(frames[i].reading.UnitText, e.unit);
        EXPECT_EQ(frames[i].reading.AutoText, e.autoText);
        EXPECT_EQ(frames[i].lcd.shown(Lcd::Hold), e.hold);
    }
    EXPECT_LT(frames[1].reading.ReadingValue, 0) << "-OL is the negative overload";
}

TEST(SimulateCommand, RefusesBadInvocationsBeforeOpeningAPort) {
    const std::string bad = writeTempFile("sim_bad.txt", "DCV 1.000\n# fine so far\nVOLTS 12\n");
    const std::string empty = writeTempFile("sim_empty.txt", "# nothing\n\n");
    const std::string binary = writeTempFile("sim_binary.bin", std::string("DCV 1.000\n\x2B\x30\x00\x31\r\n", 15));
    std::string lines;
    while (lines.size() < 2 * 1024 * 1024) lines += "DCV 1.000\n";
    const std::string huge = writeTempFile("sim_huge.txt", lines);
    const std::string oneLine = writeTempFile("sim_long_line.txt", "DCV " + std::string(100000, '1') + "\n");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--rate", "0"}, "--rate"},
        {{"--rate", "fast"}, "--rate"},
        {{"--count", "0"}, "--count"},
        {{"--count", "3x"}, "--count"},
        {{"--rate"}, "needs a value"},
        {{"--loud"}, "unknown argument"},
        {{"--scenario", ::testing::TempDir() + "no_such_file.txt"}, "no_such_file.txt"},
        {{"--scenario", bad}, bad + ":3: unknown function 'VOLTS'"},
        {{"--scenario", empty}, "no readings"},
        {{"--scenario", binary}, "not a text file"},
        {{"--scenario", huge}, "too large"},
        {{"--scenario", "/dev/zero"}, "/dev/zero: not a text file"},
        {{"--scenario", ::testing::TempDir()}, "is a directory"},
        {{"--scenario", oneLine}, ":1: line too long"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front() + (c.args.size() > 1 ? " " + c.args[1] : ""));
        Simulator sim(c.args);
        ASSERT_TRUE(sim.started());
        EXPECT_EQ(sim.waitExit(), 2);
        EXPECT_EQ(sim.readAll(false), "") << "no port path for a refused run";
        const std::string err = sim.readAll(true);
        EXPECT_EQ(err.rfind("meterlink-cli simulate: ", 0), 0u) << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        // A refused file is named, never quoted.
        EXPECT_LT(err.find('\n'), 300u);
    }
}

// A reader that opens the port long after the simulator started finds at
// most the newest frame waiting, not every frame since the start, and the
// frames after it come at the meter's pace: each row gets its true time.
TEST(SimulateCommand, AReaderThatComesLateGetsNoBacklog) {
    Simulator sim({"--rate", "10"});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.readLine();
    ASSERT_FALSE(path.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));   // 25 frames' time
    ASSERT_TRUE(sim.openPort(path)) << path;
    EXPECT_LE(sim.portQueuedBytes(), 16) << "one frame and its LF at most";

    const auto opened = std::chrono::steady_clock::now();
    std::vector<std::chrono::steady_clock::time_point> arrivals;
    sim.readFrames(6, &arrivals);
    ASSERT_EQ(arrivals.size(), 6u);
    // Five gaps of 100 ms, the first up to 100 ms: a backlog would come at once.
    EXPECT_GE(arrivals.back() - arrivals.front(), std::chrono::milliseconds(300));
    EXPECT_GE(arrivals.back() - opened, std::chrono::milliseconds(300));
    EXPECT_EQ(sim.stop(SIGTERM), 0);
}

// At one frame per 100 s the simulator is asleep when the signal comes; it
// must wake and exit cleanly rather than wait for the next frame.
TEST(SimulateCommand, StopSignalEndsASleepingSimulatorCleanly) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        Simulator sim({"--rate", "0.01"});
        ASSERT_TRUE(sim.started());
        ASSERT_FALSE(sim.readLine().empty());
        EXPECT_EQ(sim.stop(signal), 0);
    }
}

}  // namespace

namespace {

// simulate --meter into decode --meter gives back the scenario, for every family.
struct RoundTrip {
    const char* meter;
    const char* scenario;   // lines the meter can show
    bool sendsRangeMode = true;   // the Metex text does not say auto or manual
};

void PrintTo(const RoundTrip& r, std::ostream* os) { *os << r.meter; }

class MeterRoundTrip : public testing::TestWithParam<RoundTrip> {};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        if (!l.empty() && l[0] != '#') lines.push_back(l);
    return lines;
}

TEST_P(MeterRoundTrip, simulated_meter_decodes_to_its_scenario) {
    const RoundTrip& rt = GetParam();
    const std::vector<std::string> lines = splitLines(rt.scenario);
    const std::string file = writeTempFile(std::string("round_trip_") + rt.meter + ".txt", rt.scenario);
    const std::size_t frames = lines.size() * 2;
    Simulator sim({"--meter", rt.meter, "--rate", "200", "--count", std::to_string(frames), "--scenario", file});
    ASSERT_TRUE(sim.started());
    const std::string path = sim.readLine();
    ASSERT_TRUE(sim.openPort(path)) << path;
    const std::string raw = sim.readRaw();
    EXPECT_EQ(sim.waitExit(), 0);
    const std::string rawFile = writeTempFile(std::string("round_trip_") + rt.meter + ".bin", raw);

    const std::string command = std::string(METERLINK_CLI) + " decode --meter " + rt.meter + " " + rawFile + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[512];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    EXPECT_EQ(::pclose(pipe), 0);

    const std::vector<std::string> decoded = splitLines(out);
    ASSERT_EQ(decoded.size(), frames) << out;
    for (std::size_t i = 0; i < frames; ++i) {
        SCOPED_TRACE("frame " + std::to_string(i) + ": " + decoded[i]);
        meterlink::DisplaySpec spec;
        std::string error;
        ASSERT_TRUE(meterlink::parseDisplaySpec(lines[i % lines.size()], spec, error));
        std::vector<std::string> f;
        std::istringstream fields(decoded[i]);
        for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
        ASSERT_GE(f.size(), 4u);
        EXPECT_EQ(f[1], meterlink::familyFunctionText(spec));
        EXPECT_EQ(f[2], meterlink::familyUnitText(spec));
        if (rt.sendsRangeMode) {
            EXPECT_EQ(f[3], spec.autoRange ? "AUTO" : "MANU");
        }
        if (spec.overload) {
            EXPECT_EQ(f[0].find('L') != std::string::npos, true);
        } else {
            // Scenario values drift a few counts; five-place meters add a digit.
            const std::string shown = lines[i % lines.size()];
            EXPECT_NEAR(std::stod(f[0]), spec.count / std::pow(10.0, spec.pointAfter ? 4 - spec.pointAfter : 0),
                        0.0101 * std::abs(spec.count) / std::pow(10.0, spec.pointAfter ? 4 - spec.pointAfter : 0) + 0.01)
                << shown;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, MeterRoundTrip, testing::Values(
    RoundTrip{"VC-820", "DCV 1.234\nACA m 12.34 manual\nOHM k OL\nCAP n 39.99\nFREQ k 50.00\nDUTY 050.0\nDIODE 0.512\n"},
    RoundTrip{"UT61E", "DCV 1.234\nACV m 123.4 manual\nOHM M OL\nCAP u 1.234\nFREQ k 12.34\nDCA u 123.4\nCTN 012.3\n"},
    RoundTrip{"UT60G", "DCV 5.999\nACA m 59.99 manual\nOHM k -OL\nCAP n 59.99\nTEMPC 0025\nDIODE 0.512\n"},
    RoundTrip{"M-3640D", "DCV -1.234\nACV 39.99\nOHM k 3.999\nCAP u 3.999\nFREQ k 1.234\nTEMPC 0025\n", false}),
    [](const auto& p) {
        std::string n = p.param.meter;
        for (char& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

// A polled meter answers each request as the meter does, only when asked;
// what it answered reads back through decode --meter.
TEST(SimulateCommand, PolledMeterAnswersEachRequestAndDecodeReadsTheAnswers) {
    const std::string file = writeTempFile("polled.txt", "DCV 1.234\nOHM k 12.34\nOHM M OL\n");
    Simulator sim({"--meter", "Fluke 289", "--count", "3", "--scenario", file});
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(sim.openPort(sim.readLine(), O_RDWR));
    // Unasked, it says nothing.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(sim.portQueuedBytes(), 0);

    ASSERT_TRUE(sim.writePort("ID\r"));
    const std::string id = sim.readLines(2);
    EXPECT_EQ(id, "0\rFLUKE 289,V1.00,0000000001\r");
    ASSERT_TRUE(sim.writePort("XY\r"));
    EXPECT_EQ(sim.readLines(1), "1\r");
    std::string answers;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(sim.writePort("QM\r"));
        answers += sim.readLines(2);
    }
    EXPECT_EQ(sim.waitExit(), 0);

    const std::string rawFile = writeTempFile("polled.bin", id + answers);
    const std::string command = std::string(METERLINK_CLI) + " decode --meter 289 " + rawFile + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buf[512];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) out.append(buf, n);
    EXPECT_EQ(::pclose(pipe), 0);
    const std::vector<std::string> rows = splitLines(out);
    ASSERT_EQ(rows.size(), 3u) << out;
    EXPECT_EQ(rows[0].substr(0, rows[0].find("\tMANU")), "1.234\tDC\tV");
    EXPECT_EQ(rows[1].substr(0, rows[1].find("\tMANU")), "12.34\tOHM\tk*");
    EXPECT_EQ(rows[2].substr(0, rows[2].find("\tMANU")), "0L\tOHM\tM*");
}

}  // namespace
