#include "meter_table.h"

#include "meters/unit_abcd_commands.h"

#include <cctype>

namespace meterlink {

namespace {

constexpr LineLevel kHigh = LineLevel::High;
constexpr LineLevel kLow = LineLevel::Low;
constexpr LineLevel kAsIs = LineLevel::AsIs;

// Line settings shared by many rows.
constexpr LineSettings kShipped{2400, 8, Parity::None, 1, kHigh, kLow, "", 0};
constexpr LineSettings k2400_8N1{2400, 8, Parity::None, 1, kHigh, kLow, "", 0};
// Cables that must find DTR and RTS as the port opened them.
constexpr LineSettings k2400_8N1_linesAsIs{2400, 8, Parity::None, 1, kAsIs, kAsIs, "", 0};
constexpr LineSettings k19200_7O1{19200, 7, Parity::Odd, 1, kHigh, kLow, "", 0};
// Asked like the others, but the meter answers with one stop bit.
constexpr LineSettings k1200_7N1{1200, 7, Parity::None, 1, kHigh, kLow, "D", 1000};
// Metex-style meters answer "D" with one display line; they are asked about
// once a second.
constexpr LineSettings k600_7N2{600, 7, Parity::None, 2, kHigh, kLow, "D", 1000};
constexpr LineSettings k1200_7N2{1200, 7, Parity::None, 2, kHigh, kLow, "D", 1000};
constexpr LineSettings k2400_7N2{2400, 7, Parity::None, 2, kHigh, kLow, "D", 1000};
constexpr LineSettings k9600_7N2{9600, 7, Parity::None, 2, kHigh, kLow, "D", 1000};
// The AB CD family answers its measurement request; the LCD changes about
// three times a second, so it is asked twice as often.
constexpr LineSettings k9600_8N1_abCd{9600, 8, Parity::None, 1, kAsIs, kAsIs, kAbCdPoll, 150};
// Fluke's IR cables need no modem lines; the meter is asked for its display
// twice a second, about as often as it updates it.
constexpr LineSettings k9600_8N1_qm{9600, 8, Parity::None, 1, kHigh, kLow, "QM\r", 500};
constexpr LineSettings k115200_8N1_qm{115200, 8, Parity::None, 1, kHigh, kLow, "QM\r", 500};

// What each FS9721 maker put on the four free LCD symbols, by bit of the
// last byte.
using U = UserSymbol;
constexpr UserSymbols kCelsiusAtBit0{U::Celsius, U::None, U::None, U::None};
constexpr UserSymbols kCelsiusAtBit1{U::None, U::Celsius, U::None, U::None};
constexpr UserSymbols kCelsiusAtBit2{U::None, U::None, U::Celsius, U::None};
constexpr UserSymbols kFahrenheitAtBit1CelsiusAtBit2{U::None, U::Fahrenheit, U::Celsius, U::None};
constexpr UserSymbols kMaxAtBit0CelsiusAtBit1MinAtBit3{U::Max, U::Celsius, U::None, U::Min};
constexpr UserSymbols kNoSymbols{};

constexpr std::string_view kSrcSerial = "public serial multimeter model list";
constexpr std::string_view kSrcSerialAndCable = "public serial multimeter and UT-D04 cable model lists";
constexpr std::string_view kSrcSerialAndNotes =
    "public serial multimeter model list; line settings confirmed by published user notes";
constexpr std::string_view kSrcAbCdNotes =
    "published wire notes of the UT61E+ on its UT-D09 cable (CP2110 set-up, request, answer, buttons); "
    "the meter's manual for counts and ranges";
constexpr std::string_view kSrcAbCdFamily =
    "published wire notes of the UT61E+, whose series shares the protocol and the UT-D09 cable; "
    "the meter's manual for counts and ranges";
constexpr std::string_view kSrcMakerSheet = "the maker's published communication protocol sheet";
constexpr std::string_view kSrcModelList = "public serial multimeter model list (chip, line settings, counts)";
// The list gives 7N1, which a 7O1 chip cannot send; the chip's datasheet wins.
constexpr std::string_view kSrcModelListChipLine =
    "public serial multimeter model list; line settings from the chip's datasheet (19230 7O1)";
constexpr std::string_view kSrcGdm397 =
    "public serial multimeter model lists and device notes: FS9922-DMM4, 2400 8N1, 4000 counts";
constexpr std::string_view kSrcFluke18x = "the maker's remote interface specification for the 187/189";
constexpr std::string_view kSrcFluke28x = "the maker's remote interface specification for the 287/289";

}  // namespace

const std::vector<MeterModel>& meterTable() {
    using P = MeterProtocol;
    static const std::vector<MeterModel> rows{
        // The shipped profile: its caption and behaviour stay the program's default.
        {"", "KR20C", P::Fs9922, kShipped, 6000, 2400, "the shipped profile", kNoSymbols, 0, Cable::UtD04},
        {"Digitech", "QM1350", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"Digitech", "QM1462", P::Fs9721, k2400_8N1, 4000, 0, kSrcModelList},
        {"Digitech", "QM1537", P::Fs9922, k2400_8N1, 4000, 0, kSrcModelList},
        {"Digitech", "QM1538", P::Fs9721, k2400_8N1, 4000, 0, kSrcModelList},
        {"Digitek", "DT-9062", P::Fs9721, k2400_8N1, 4000, 0, kSrcModelList},
        {"Digitek", "DT4000ZC", P::Fs9721, k2400_8N1, 4000, 0, kSrcSerial, kCelsiusAtBit2},
        {"Digitek", "INO2513", P::Fs9721, k2400_8N1, 4000, 0, kSrcModelList},
        {"Fluke", "187", P::FlukeQm, k9600_8N1_qm, 50000, 0, kSrcFluke18x, kNoSymbols, kQmAnswerNamesCommand},
        {"Fluke", "189", P::FlukeQm, k9600_8N1_qm, 50000, 0, kSrcFluke18x, kNoSymbols, kQmAnswerNamesCommand},
        {"Fluke", "287", P::FlukeQm, k115200_8N1_qm, 50000, 0, kSrcFluke28x},
        {"Fluke", "289", P::FlukeQm, k115200_8N1_qm, 50000, 0, kSrcFluke28x},
        {"GW Instek", "GDM-397", P::Fs9922, k2400_8N1, 4000, 0, kSrcGdm397},
        {"HoldPeak", "HP-90EPC", P::Fs9721, k2400_8N1, 4000, 0, kSrcModelList},
        {"Iso-Tech", "IDM 73", P::Es51986, k19200_7O1, 6000, 0, kSrcModelList},
        {"MASTECH", "MAS-343", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"MASTECH", "MAS345", P::Metex14, k600_7N2, 4000, 0, kSrcSerial},
        {"MASTECH", "MS8250B", P::Fs9721, k2400_8N1, 4000, 0, kSrcSerial},
        {"McVoice", "M-345pro", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"Metex", "M-3640D", P::Metex14, k1200_7N2, 4000, 0, kSrcSerial},
        {"Metex", "M-3660D", P::Metex14, k1200_7N2, 4000, 0, kSrcModelList},
        {"Metex", "M-3830D", P::Metex14, k1200_7N2, 4000, 0, kSrcModelList},
        {"Metex", "M-3840D", P::Metex14, k1200_7N2, 4000, 0, kSrcModelList},
        {"Metex", "M-3850D", P::Metex14, k1200_7N2, 4000, 0, kSrcModelList},
        {"Metex", "M-3860M", P::Metex14, k9600_7N2, 4000, 0, kSrcSerial, kNoSymbols, kFourDisplayLines},
        {"Metex", "M-3870D", P::Metex14, k1200_7N1, 4000, 0, kSrcModelList},
        {"Metex", "M-4650C", P::Metex14, k1200_7N2, 20000, 0, kSrcModelList},
        {"Metex", "M-4650CR", P::Metex14, k1200_7N2, 20000, 0, kSrcSerial},
        {"Metex", "ME-11", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"Metex", "ME-21", P::Metex14, k2400_7N2, 2000, 0, kSrcSerialAndNotes},
        {"Metex", "ME-22", P::Metex14, k2400_7N2, 4000, 0, kSrcModelList},
        {"Metex", "ME-31", P::Metex14, k600_7N2, 4000, 0, kSrcSerial},
        {"Metex", "ME-32", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"Metex", "Universal System 9160", P::Metex14, k1200_7N2, 4000, 0, kSrcModelList},
        {"PCE", "PCE-DM32", P::Fs9721, k2400_8N1_linesAsIs, 4000, 0, kSrcSerial, kFahrenheitAtBit1CelsiusAtBit2},
        {"PeakTech", "2025", P::Fs9922, k2400_8N1, 6000, 0, kSrcMakerSheet},
        {"PeakTech", "3330", P::Fs9721, k2400_8N1, 4000, 0, kSrcSerial, kFahrenheitAtBit1CelsiusAtBit2},
        {"PeakTech", "3410", P::Metex14, k600_7N2, 4000, 0, kSrcSerial},
        {"PeakTech", "4010", P::Metex14, k9600_7N2, 4000, 0, kSrcModelList},
        {"PeakTech", "4360", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"PeakTech", "4370", P::Metex14, k1200_7N2, 4000, 0, kSrcSerial},
        {"PeakTech", "4390A", P::Metex14, k9600_7N2, 4000, 0, kSrcSerial, kNoSymbols, kFourDisplayLines},
        {"RadioShack", "22-168", P::Metex14, k1200_7N2, 4000, 0, kSrcSerial},
        {"RadioShack", "22-805", P::Metex14, k600_7N2, 4000, 0, kSrcSerial},
        {"Sinometer", "MAS-343", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"SparkFun", "70C", P::Fs9922, k2400_8N1, 6000, 0, kSrcSerial},
        {"Tecpel", "DMM-8061", P::Fs9721, k2400_8N1, 4000, 2400, kSrcSerialAndCable, kCelsiusAtBit0, 0, Cable::UtD04},
        {"TekPower", "TP4000ZC", P::Fs9721, k2400_8N1, 4000, 0, kSrcSerial, kCelsiusAtBit2},
        {"Tenma", "72-1016", P::Es51986, k19200_7O1, 6000, 0, kSrcModelList},
        {"Tenma", "72-7745", P::Fs9721, k2400_8N1, 4000, 2400, kSrcSerialAndCable, kCelsiusAtBit0, 0, Cable::UtD04},
        {"Tenma", "72-7750", P::Es51986, k19200_7O1, 6000, 19200, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"UNI-T", "UT161B", P::UniTAbCd, k9600_8N1_abCd, 6000, 0, kSrcAbCdFamily, kNoSymbols, 0, Cable::UtD09},
        {"UNI-T", "UT161D", P::UniTAbCd, k9600_8N1_abCd, 6000, 0, kSrcAbCdFamily, kNoSymbols, 0, Cable::UtD09},
        {"UNI-T", "UT161E", P::UniTAbCd, k9600_8N1_abCd, 22000, 0, kSrcAbCdFamily, kNoSymbols, 0, Cable::UtD09},
        {"UNI-T", "UT60A", P::Fs9721, k2400_8N1, 4000, 2400, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"UNI-T", "UT60E", P::Fs9721, k2400_8N1, 4000, 2400, kSrcSerialAndCable, kCelsiusAtBit0, 0, Cable::UtD04},
        {"UNI-T", "UT60G", P::Es51986, k19200_7O1, 6000, 19200, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"UNI-T", "UT61B", P::Fs9922, k2400_8N1, 6000, 2400, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"UNI-T", "UT61C", P::Fs9922, k2400_8N1, 6000, 2400, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"UNI-T", "UT61D", P::Fs9922, k2400_8N1, 6000, 2400, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"UNI-T", "UT61E", P::Es51922, k19200_7O1, 22000, 19200, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"UNI-T", "UT61B+", P::UniTAbCd, k9600_8N1_abCd, 6000, 0, kSrcAbCdFamily, kNoSymbols, 0, Cable::UtD09},
        {"UNI-T", "UT61D+", P::UniTAbCd, k9600_8N1_abCd, 6000, 0, kSrcAbCdFamily, kNoSymbols, 0, Cable::UtD09},
        {"UNI-T", "UT61E+", P::UniTAbCd, k9600_8N1_abCd, 22000, 0, kSrcAbCdNotes, kNoSymbols, 0, Cable::UtD09},
        {"UNI-T", "UT803", P::Es51986, k19200_7O1, 6000, 0, kSrcModelList},
        {"V&A", "VA18B", P::Fs9721, k2400_8N1_linesAsIs, 4000, 0, kSrcSerial, kCelsiusAtBit1},
        {"V&A", "VA40B", P::Fs9721, k2400_8N1_linesAsIs, 4000, 0, kSrcSerial, kMaxAtBit0CelsiusAtBit1MinAtBit3},
        {"Vichy", "VC99", P::Fs9922, k2400_8N1, 6000, 0, kSrcModelList},
        {"Voltcraft", "M-3610D", P::Metex14, k1200_7N2, 4000, 0, kSrcModelList},
        {"Voltcraft", "M-3650CR", P::Metex14, k1200_7N2, 4000, 0, kSrcSerial},
        {"Voltcraft", "M-3650D", P::Metex14, k1200_7N2, 4000, 0, kSrcSerial},
        {"Voltcraft", "M-4650CR", P::Metex14, k1200_7N2, 20000, 0, kSrcSerial},
        {"Voltcraft", "M-4660", P::Metex14, k1200_7N2, 50000, 0, kSrcModelList},
        {"Voltcraft", "ME-11", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"Voltcraft", "ME-22T", P::Metex14, k2400_7N2, 4000, 0, kSrcModelList},
        {"Voltcraft", "ME-32", P::Metex14, k600_7N2, 4000, 0, kSrcModelList},
        {"Voltcraft", "ME-42", P::Metex14, k600_7N2, 4000, 0, kSrcSerial},
        {"Voltcraft", "VC-820", P::Fs9721, k2400_8N1, 4000, 2400, kSrcSerialAndCable, kNoSymbols, 0, Cable::UtD04},
        {"Voltcraft", "VC-830", P::Fs9922, k2400_8N1, 6000, 2400, kSrcSerialAndCable, kNoSymbols, kZ1IsDiodeVolts, Cable::UtD04},
        {"Voltcraft", "VC-840", P::Fs9721, k2400_8N1, 4000, 2400, kSrcSerialAndCable, kCelsiusAtBit0, 0, Cable::UtD04},
        {"Wintex", "TD2200", P::Es51922, k19200_7O1, 22000, 0, kSrcModelListChipLine},
    };
    return rows;
}

const MeterModel& defaultMeter() { return meterTable().front(); }

namespace {

// Folds a name for comparison: upper case, blanks and '-' dropped.
std::string fold(std::string_view s) {
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '-') out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const MeterModel* findMeter(std::string_view name) {
    const std::string wanted = fold(name);
    if (wanted.empty()) return nullptr;
    for (const MeterModel& m : meterTable())
        if (fold(m.model) == wanted || fold(meterName(m)) == wanted) return &m;
    return nullptr;
}

std::string meterName(const MeterModel& m) {
    std::string name;
    if (!m.maker.empty()) {
        name.append(m.maker);
        name += ' ';
    }
    name.append(m.model);
    return name;
}

std::string_view protocolName(MeterProtocol p) {
    switch (p) {
    case MeterProtocol::Fs9922: return "FS9922";
    case MeterProtocol::Fs9721: return "FS9721";
    case MeterProtocol::Metex14: return "Metex 14-byte";
    case MeterProtocol::Es51922: return "ES51922";
    case MeterProtocol::Es51986: return "ES51986";
    case MeterProtocol::UniTAbCd: return "UNI-T AB CD";
    case MeterProtocol::Bm86x: return "BM86x";
    case MeterProtocol::FlukeQm: return "Fluke QM";
    }
    return "";
}

std::string_view cableName(Cable c) {
    switch (c) {
    case Cable::Serial: return "-";
    case Cable::UtD04: return "UT-D04";
    case Cable::UtD09: return "UT-D09";
    case Cable::Victor: return "Victor USB";
    case Cable::BrymenBu86x: return "BU-86X";
    }
    return "";
}

std::string lineText(const LineSettings& line) {
    static constexpr char kParity[] = {'N', 'E', 'O'};
    std::string s = std::to_string(line.baud);
    s += ' ';
    s += static_cast<char>('0' + line.dataBits);
    s += kParity[static_cast<int>(line.parity)];
    s += static_cast<char>('0' + line.stopBits);
    return s;
}

}  // namespace meterlink
