// meterlink-cli decode, run as a child process on streams written to a file.
#include "protocol/frame_builder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

CliRun runCli(const std::string& args) {
    // Own file per run: ctest runs these tests side by side.
    static int runs = 0;
    const std::string errFile =
        ::testing::TempDir() + "decode_stderr_" + std::to_string(::getpid()) + "_" + std::to_string(++runs) + ".txt";
    const std::string cmd = std::string(METERLINK_CLI) + " decode " + args + " 2>" + errFile;
    CliRun run;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return run;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) run.out.append(buf, n);
    const int status = pclose(p);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    {
        std::ifstream err(errFile);
        run.err.assign(std::istreambuf_iterator<char>(err), {});
    }
    std::remove(errFile.c_str());
    return run;
}

std::string writeStream(const std::string& name, const std::vector<std::string>& lines, bool leadingLf = true) {
    // Test cases run in processes of their own, several at a time.
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_" + name;
    std::ofstream out(path, std::ios::binary);
    if (leadingLf) out.put('\n');
    for (const std::string& line : lines) {
        meterlink::DisplaySpec spec;
        std::string error;
        if (!meterlink::parseDisplaySpec(line, spec, error)) ADD_FAILURE() << line << ": " << error;
        const auto w = meterlink::encodeFrame(meterlink::fieldsFor(spec));
        out.write(reinterpret_cast<const char*>(w.data()), static_cast<std::streamsize>(w.size()));
    }
    out.write("\x01\x02garbage\r", 10);
    return path;
}

TEST(DecodeCommand, PrintsOneTabSeparatedLinePerFrame) {
    const std::string file = writeStream("decode_basic.bin",
                                         {"DCV 5.999", "DCV m 123.4", "OHM k OL", "TEMPC 25", "DCV -OL", "DUTY 50.0"});
    const CliRun run = runCli(file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "5.999\tDC\tV\tAUTO\t5999\t5.999\t6\t6000\tpass\n"
              "123.4\tDC\tmV\tAUTO\t1234\t123.4\t600\t6000\tpass\n"
              "0L\tOHM\tk*\tAUTO\t6001\t6001\t6000\t6000\tFail\n"
              "0025\tTMP\t#\tAUTO\t25\t25\t1000\t1000\tpass\n"
              "0L\tDC\tV\tAUTO\t-1001\t-1001\t1000\t6000\tFail\n"
              "050.0\tDutyCycle\t%\tAUTO\t500\t50.0\t100\t100\tpass\n");
    EXPECT_EQ(run.err, "6 frames decoded, 1 rejected\n");
}

TEST(DecodeCommand, LimitsAndSeparatorFromTheCommandLine) {
    const std::string file = writeStream("decode_sep.bin", {"DCV 5.999", "DCV 1.500"});
    const CliRun run = runCli("--separator , --high 2.5 --low 1 " + file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "5,999\tDC\tV\tAUTO\t5999\t5.999\t6\t6000\tFail\n"
              "1,500\tDC\tV\tAUTO\t1500\t1.500\t6\t6000\tpass\n");
    // The separator may follow the limits it applies to.
    EXPECT_EQ(runCli("--high 2,5 --separator , " + file).exitCode, 0);

    // Limits with a unit judge in that unit: a 5 V rail read in millivolts fails.
    const std::string rail = writeStream("decode_units.bin", {"DCV m 5.20", "DCV 5.201", "OHM k 1.000"});
    const CliRun units = runCli("--high '5.5 V' --low 4.5V " + rail);
    EXPECT_EQ(units.exitCode, 0) << units.err;
    std::vector<std::string> verdicts;
    for (std::size_t at = 0, end; (end = units.out.find('\n', at)) != std::string::npos; at = end + 1)
        verdicts.push_back(units.out.substr(units.out.rfind('\t', end) + 1, end - units.out.rfind('\t', end) - 1));
    EXPECT_EQ(verdicts, (std::vector<std::string>{"Fail", "pass", "Fail"})) << units.out;
}

// A limit that is not a number would judge nothing without a word; a
// separator that can be part of a number would misread values.
TEST(DecodeCommand, RefusesLimitsAndSeparatorsThatAreNotUsable) {
    const std::string file = writeStream("decode_refused.bin", {"DCV 5.999"});
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--high abc", "--high wants a number"},
        {"--low 1.2.3", "--low wants a number"},
        {"--high nan", "--high wants a number"},
        {"--low inf", "--low wants a number"},
        {"--high ''", "--high wants a number"},
        {"--low -999999", "--low wants a number"},
        {"--high 2.5.0 --separator ,", "--high wants a number written with the decimal separator ','"},
        {"--separator ''", "--separator must not be empty"},
        {"--separator ,,", "--separator must be one character"},
        {"--separator 5", "--separator must be one character"},
        {"--separator -", "--separator must be one character"},
        {"--separator ' '", "--separator must be one character"},
        {"--separator e", "--separator must be one character"},
        {"--meter UT99", "unknown meter 'UT99'; meterlink-cli meters lists them"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const CliRun run = runCli(std::string(c.args) + " " + file);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(std::string("meterlink-cli decode: ") + c.message), std::string::npos) << run.err;
    }
    // A separator of several bytes is still one character.
    EXPECT_EQ(runCli("--separator \xd9\xab --high 7 " + file).exitCode, 0);
}

TEST(DecodeCommand, ShippedMeterByNameReadsExactlyAsTheDefault) {
    const std::string file = writeStream("decode_named.bin", {"DCV 5.999", "OHM k -OL", "FREQ k 50.00", "TEMPC 25"});
    const CliRun plain = runCli(file);
    const CliRun named = runCli("--meter kr20c " + file);
    EXPECT_EQ(named.exitCode, 0);
    EXPECT_EQ(named.out, plain.out);
    EXPECT_EQ(named.err, plain.err);
    // Another family's decoder reads none of these frames.
    const CliRun other = runCli("--meter UT61E " + file);
    EXPECT_EQ(other.exitCode, 0);
    EXPECT_EQ(other.out, "");
}

TEST(DecodeCommand, ReadsStandardInputAndCountsRejectedFrames) {
    // No LF before the first frame: it cannot be aligned and is rejected.
    const std::string file = writeStream("decode_stdin.bin", {"ACV 59.99", "ACV 59.98"}, false);
    const CliRun run = runCli("< " + file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "59.98\tAC\tV\tAUTO\t5998\t59.98\t60\t6000\tpass\n");
    EXPECT_EQ(run.err, "1 frames decoded, 2 rejected\n");
}

// A 7O1 meter's bytes as the USB cable (or an 8-bit port) passes them: the
// odd parity bit in bit 7. Read with the wrong model, the bytes are told.
TEST(DecodeCommand, SevenBitMeterWithParityBitsAndAWrongModel) {
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_decode_parity.bin";
    {
        std::ofstream out(path, std::ios::binary);
        for (const char* body : {"012345;000:0", "000000200820", "099999;000:0"}) {
            for (const char* c = body; *c; ++c) {
                const auto b = static_cast<unsigned char>(*c);
                out.put(static_cast<char>(__builtin_popcount(b) % 2 ? b : b | 0x80));
            }
            out.write("\x8d\x0a", 2);   // CR with its parity bit, LF
        }
    }
    const CliRun run = runCli("--meter UT61E " + path);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out,
              "1.2345\tDC\tV\tAUTO\t12345\t1.2345\t2.2000\t22000\tpass\n"
              "UL\tFreq\tHz\tAUTO\t0\t0.00\t220\t22000\tFail\n");
    EXPECT_EQ(run.err, "2 frames decoded, 1 rejected\n");
    const CliRun wrong = runCli("--meter UT60G " + path);
    EXPECT_EQ(wrong.out, "");
    EXPECT_NE(wrong.err.find("bytes arrive but none form a frame of UNI-T UT60G: check the meter model"),
              std::string::npos)
        << wrong.err;
}

TEST(DecodeCommand, UnreadableFileExitsTwoWithAMessage) {
    const CliRun missing = runCli("/nonexistent/meter.bin");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot read /nonexistent/meter.bin"), std::string::npos) << missing.err;
    const CliRun directory = runCli("/");
    EXPECT_EQ(directory.exitCode, 2);
    EXPECT_EQ(runCli("--frobnicate").exitCode, 2);
}

}  // namespace
