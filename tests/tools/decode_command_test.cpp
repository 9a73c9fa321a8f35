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

// Each family's frames typed byte by byte, read with a model of that family:
// what the meter shows, one line a reading, and what no meter of that model
// can send refused.
struct StreamCase {
    const char* name;
    const char* meter;
    const char* limits;   // extra arguments
    std::string bytes;
    const char* out;
    const char* err;
};

// A 14-byte Metex line: two bytes of mode, seven of value, four of unit, CR.
std::string metex(const char* mode, const char* value, const char* unit) {
    char text[15];
    std::snprintf(text, sizeof text, "%-2.2s%7.7s%-4.4s\r", mode, value, unit);
    return std::string(text, 14);
}

// FS9922: sign, four digits, blank, point code, four status bytes, bar
// graph, CR LF. Status byte 1 0x30 is AUTO DC; status byte 4 0x80 is V.
std::string fs9922(const char* signAndDigits, char point) {
    return std::string(signAndDigits) + " " + point + std::string("\x30\x00\x00\x80\x00\r\n", 7);
}

class FamilyStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(FamilyStream, PrintsWhatTheMeterShows) {
    const StreamCase& c = GetParam();
    const std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_stream_" + c.name;
    {
        std::ofstream out(path, std::ios::binary);
        out.write(c.bytes.data(), static_cast<std::streamsize>(c.bytes.size()));
    }
    const CliRun run = runCli(std::string("--meter '") + c.meter + "' " + c.limits + " " + path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
}

const StreamCase kStreams[] = {
    // A 4000-count FS9922 meter never shows 4500; a 6000-count one does.
    {"gdm397_counts_to_4000", "GDM-397", "", "\n" + fs9922("+3999", '1') + fs9922("+4500", '1'),
     "3.999\tDC\tV\tAUTO\t3999\t3.999\t6\t6000\tpass\n", "1 frames decoded, 1 rejected\n"},
    {"vc99_counts_to_6000", "Vichy VC99", "", "\n" + fs9922("+4500", '1'),
     "4.500\tDC\tV\tAUTO\t4500\t4.500\t6\t6000\tpass\n", "1 frames decoded, 0 rejected\n"},
    // Watts are judged in watts; decibels keep their shown number.
    {"metex_watts_judged_in_watts", "ME-22", "--high '20 W' --low '1 W'",
     metex("W", "12.34", "W") + metex("W", "25.00", "W"),
     "12.34\tPower\tW\tMANU\t1234\t12.34\t40\t4000\tpass\n"
     "25.00\tPower\tW\tMANU\t2500\t25.00\t40\t4000\tFail\n",
     "2 frames decoded, 0 rejected\n"},
    {"metex_dbm_judged_in_dbm", "Metex ME-32", "--high '0 dBm' --low '-20 dBm'",
     metex("DB", "-12.5", "dBm") + metex("DB", "-25.0", "dBm") + metex("DB", "-12.5", "dB"),
     "-12.5\tdB\tdBm\tMANU\t-125\t-12.5\t400\t4000\tpass\n"
     "-25.0\tdB\tdBm\tMANU\t-250\t-25.0\t400\t4000\tFail\n"
     "-12.5\tdB\tdB\tMANU\t-125\t-12.5\t400\t4000\tFail\n",
     "3 frames decoded, 0 rejected\n"},
    {"metex_logic_words", "M-3850D", "", metex("LO", "READY", "") + metex("LO", "Hi", "") + metex("LO", "FLOAT", ""),
     "READY\tLogic\t\tMANU\t0\t0\t4000\t4000\tFail\nHi\tLogic\t\tMANU\t0\t0\t4000\t4000\tFail\n"
     "FLOAT\tLogic\t\tMANU\t0\t0\t4000\t4000\tFail\n",
     "3 frames decoded, 0 rejected\n"},
    {"metex_one_stop_bit_meter", "M-3870D", "", metex("DC", "1.999", "V"),
     "1.999\tDC\tV\tMANU\t1999\t1.999\t4\t4000\tpass\n", "1 frames decoded, 0 rejected\n"},
    // The chip's digit codes are 0-9 even when the display shows OL.
    {"es51922_overload_digits_are_digits", "Wintex TD2200", "", "100000;100:0\r\n1000:0;100:0\r\n",
     "0.L\tDC\tV\tAUTO\t22001\t22.001\t22\t22000\tFail\n", "1 frames decoded, 1 rejected\n"},
    {"es51986_bench_meter", "UT803", "", "05999;00:\r\n05999;00:\r\n",
     "5.999\tDC\tV\tAUTO\t5999\t5.999\t6\t6000\tpass\n", "1 frames decoded, 0 rejected\n"},
    {"es51986_overload_digits_are_digits", "IDM 73", "", "0600:;10:\r\n0600:;10:\r\n00000;10:\r\n00000;10:\r\n",
     "0L\tDC\tV\tAUTO\t6001\t6.001\t6\t6000\tFail\n", "1 frames decoded, 1 rejected\n"},
};

INSTANTIATE_TEST_SUITE_P(Families, FamilyStream, ::testing::ValuesIn(kStreams),
                         [](const ::testing::TestParamInfo<StreamCase>& p) { return std::string(p.param.name); });

TEST(DecodeCommand, UnreadableFileExitsTwoWithAMessage) {
    const CliRun missing = runCli("/nonexistent/meter.bin");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("cannot read /nonexistent/meter.bin"), std::string::npos) << missing.err;
    const CliRun directory = runCli("/");
    EXPECT_EQ(directory.exitCode, 2);
    EXPECT_EQ(runCli("--frobnicate").exitCode, 2);
}

}  // namespace
