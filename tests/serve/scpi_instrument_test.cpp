#include <gtest/gtest.h>

#include <cmath>

#include "serve/scpi_board.h"
#include "serve/scpi_header.h"
#include "serve/scpi_instrument.h"

namespace meterlink {
namespace {

using namespace std::chrono_literals;

struct HeaderCase {
    const char* pattern;
    const char* header;
    bool matches;
};

class ScpiHeaders : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(ScpiHeaders, short_and_long_forms_in_any_case) {
    const auto& c = GetParam();
    EXPECT_EQ(ScpiHeader(c.pattern).matches(c.header), c.matches) << c.pattern << " vs " << c.header;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScpiHeaders,
    ::testing::Values(HeaderCase{"MEASure:VOLTage[:DC]?", "MEAS:VOLT?", true},
                      HeaderCase{"MEASure:VOLTage[:DC]?", "measure:voltage:dc?", true},
                      HeaderCase{"MEASure:VOLTage[:DC]?", ":Meas:Volt:DC?", true},
                      HeaderCase{"MEASure:VOLTage[:DC]?", "MEAS:VOLT:AC?", false},
                      HeaderCase{"MEASure:VOLTage[:DC]?", "MEASU:VOLT?", false},
                      HeaderCase{"MEASure:VOLTage[:DC]?", "MEAS:VOLT", false},
                      HeaderCase{"MEASure:VOLTage[:DC]?", "MEAS::VOLT?", false},
                      HeaderCase{"[SENSe]:FUNCtion?", "FUNC?", true},
                      HeaderCase{"[SENSe]:FUNCtion?", "sens:function?", true},
                      HeaderCase{"SYSTem:ERRor[:NEXT]?", "SYST:ERR:NEXT?", true},
                      HeaderCase{"*IDN?", "*idn?", true},
                      HeaderCase{"*IDN?", "*IDN", false},
                      HeaderCase{"TRACe:DATA?", "TRAC:DATA?", true}));

// Channel 1 reads 5.123 V DC, channel 2 is overloaded on the ohm range,
// channel 3 has never read; channel 1 has logged 5 rows.
class ScpiInstrumentTest : public ::testing::Test {
protected:
    ScpiInstrumentTest() : board_(3, 1000ms), instrument_(board_, "MeterLink,Bench,0,1.0") {
        ScpiReading dc;
        dc.hasValue = true;
        dc.value = 5.123;
        dc.function = "DC";
        dc.unit = "V";
        board_.setLatest(1, dc);
        ScpiReading ohm;
        ohm.overload = true;
        ohm.function = "OHM";
        ohm.unit = "\u03A9";
        board_.setLatest(2, ohm);
        for (int i = 1; i <= 5; ++i) board_.appendRow(1, ScpiRow{true, false, false, i * 0.5});
        board_.appendRow(1, ScpiRow{false, true, true, 0});
    }

    std::string ask(const std::string& line) { return instrument_.execute(line).value_or("<none>"); }

    ScpiBoard board_;
    ScpiInstrument instrument_;
};

struct ExchangeCase {
    const char* name;
    const char* line;
    const char* reply;  // "<none>" when nothing is answered
    const char* error;  // what SYST:ERR? says next
};

class ScpiExchanges : public ScpiInstrumentTest, public ::testing::WithParamInterface<ExchangeCase> {};

TEST_P(ScpiExchanges, answer_and_queue_errors) {
    const auto& c = GetParam();
    EXPECT_EQ(ask(c.line), c.reply) << c.line;
    EXPECT_EQ(ask("SYST:ERR?"), c.error) << c.line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ScpiExchanges,
    ::testing::Values(
        ExchangeCase{"idn", "*IDN?", "MeterLink,Bench,0,1.0", "+0,\"No error\""},
        ExchangeCase{"read", "READ?", "+5.123000000E+00", "+0,\"No error\""},
        ExchangeCase{"fetch_lower_case", "fetch?", "+5.123000000E+00", "+0,\"No error\""},
        ExchangeCase{"fetch_channel_2_overload", "FETC? (@2)", "+9.9E+37", "+0,\"No error\""},
        ExchangeCase{"fetch_two_channels", "FETCH? (@1:2)", "+5.123000000E+00,+9.9E+37", "+0,\"No error\""},
        ExchangeCase{"fetch_never_read", "FETC? (@3)", "+9.91E+37", "-230,\"Data corrupt or stale\""},
        ExchangeCase{"fetch_no_such_channel", "FETC? (@4)", "+9.91E+37", "-222,\"Data out of range\""},
        ExchangeCase{"fetch_bad_list", "FETC? 2", "+9.91E+37", "-104,\"Data type error\""},
        ExchangeCase{"measure_matching", "MEAS:VOLT:DC?", "+5.123000000E+00", "+0,\"No error\""},
        ExchangeCase{"measure_short_matching", "meas:volt?", "+5.123000000E+00", "+0,\"No error\""},
        ExchangeCase{"measure_other_function", "MEAS:CURR?", "+9.91E+37", "-221,\"Settings conflict\""},
        ExchangeCase{"measure_resistance_channel_2", "MEAS:RES? (@2)", "+9.9E+37", "+0,\"No error\""},
        ExchangeCase{"function", "SENS:FUNC?", "\"VOLT\"", "+0,\"No error\""},
        ExchangeCase{"function_channel_2", "FUNC? (@2)", "\"RES\"", "+0,\"No error\""},
        ExchangeCase{"configure", "CONF?", "\"VOLT DEF,DEF\"", "+0,\"No error\""},
        ExchangeCase{"unit_ohm", "UNIT? (@2)", "OHM", "+0,\"No error\""},
        ExchangeCase{"points", "DATA:POIN?", "6", "+0,\"No error\""},
        ExchangeCase{"points_channel_2", "DATA:POINTS? (@2)", "0", "+0,\"No error\""},
        ExchangeCase{"trace_last_3", "TRAC:DATA? 3", "+2.000000000E+00,+2.500000000E+00,-9.9E+37", "+0,\"No error\""},
        ExchangeCase{"trace_more_than_logged", "TRACE:DATA? 100, (@2)", "", "+0,\"No error\""},
        ExchangeCase{"trace_zero", "TRAC:DATA? 0", "+9.91E+37", "-222,\"Data out of range\""},
        ExchangeCase{"trace_too_many", "TRAC:DATA? 100001", "+9.91E+37", "-222,\"Data out of range\""},
        ExchangeCase{"trace_missing_count", "TRAC:DATA?", "+9.91E+37", "-109,\"Missing parameter\""},
        ExchangeCase{"trace_not_a_number", "TRAC:DATA? ten", "+9.91E+37", "-104,\"Data type error\""},
        ExchangeCase{"idn_with_parameter", "*IDN? 1", "+9.91E+37", "-108,\"Parameter not allowed\""},
        ExchangeCase{"undefined_header", "VOLT:RANG 10", "<none>", "-113,\"Undefined header\""},
        ExchangeCase{"undefined_query_gets_no_reply", "FOO?", "<none>", "-113,\"Undefined header\""},
        ExchangeCase{"garbage_bytes", "\x01\xff\x80::?", "<none>", "-113,\"Undefined header\""},
        ExchangeCase{"several_in_one_line", "*CLS;READ?;*IDN?", "+5.123000000E+00;MeterLink,Bench,0,1.0",
                     "+0,\"No error\""},
        ExchangeCase{"carriage_return_and_blanks", "  READ?\r", "+5.123000000E+00", "+0,\"No error\""},
        ExchangeCase{"empty_line", "", "<none>", "+0,\"No error\""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(ScpiInstrumentTest, errors_queue_in_order_cls_clears_and_overflow_is_marked) {
    ask("FOO");
    ask("FETC? (@9)");
    EXPECT_EQ(ask("SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(ask("SYSTEM:ERROR:NEXT?"), "-222,\"Data out of range\"");
    ask("FOO");
    ask("*CLS");
    EXPECT_EQ(ask("SYST:ERR?"), "+0,\"No error\"");
    for (int i = 0; i < 30; ++i) ask("FOO");
    EXPECT_EQ(instrument_.errorCount(), ScpiInstrument::kMaxErrors);
    for (std::size_t i = 0; i + 1 < ScpiInstrument::kMaxErrors; ++i) ask("SYST:ERR?");
    EXPECT_EQ(ask("SYST:ERR?"), "-350,\"Queue overflow\"");
}

TEST(ScpiBoardStale, a_reading_older_than_twice_the_interval_is_stale) {
    ScpiBoard board(1, 1000ms);
    ScpiInstrument instrument(board, "x");
    ScpiReading r;
    r.hasValue = true;
    r.value = 1;
    r.unit = "V";
    board.setLatest(1, r, ScpiBoard::Clock::now() - 2500ms);
    EXPECT_EQ(instrument.execute("READ?").value_or(""), "+9.91E+37");
    EXPECT_EQ(instrument.execute("SYST:ERR?").value_or(""), "-230,\"Data corrupt or stale\"");
    board.setLatest(1, r);
    EXPECT_EQ(instrument.execute("READ?").value_or(""), "+1.000000000E+00");
}

TEST(ScpiNumber, is_locale_free_nr3) {
    EXPECT_EQ(scpiNumber(0.0123), "+1.230000000E-02");
    EXPECT_EQ(scpiNumber(-1234.5), "-1.234500000E+03");
    EXPECT_EQ(scpiNumber(NAN), "+9.91E+37");
}

}  // namespace
}  // namespace meterlink
