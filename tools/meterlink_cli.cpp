// meterlink-cli: command-line companion of the meter link program.
#include "decode_command.h"
#include "meters_command.h"
#include "simulate_command.h"
#ifdef METERLINK_DATA_FILES
#include "convert_command.h"
#include "report_command.h"
#include "stats_command.h"
#endif
#ifdef METERLINK_HEADLESS_LOG
#include "log_command.h"
#include "send_command.h"
#endif
#ifdef METERLINK_DETECT
#include "detect_command.h"
#endif

#include <cstring>
#include <iostream>

namespace {

void usage(std::ostream& out) {
    out << "usage: meterlink-cli decode [--meter MODEL] [--high X] [--low Y] [--separator C] [FILE]\n"
           "       meterlink-cli simulate [--meter MODEL] [--rate N] [--scenario FILE] [--count N]\n"
           "       meterlink-cli simulate --usb SOCKET [--rate N] [--scenario FILE] [--count N]\n"
           "                                         [--report-ms N]\n"
           "       meterlink-cli meters [--markdown]\n"
#ifdef METERLINK_DATA_FILES
           "       meterlink-cli convert IN OUT\n"
           "       meterlink-cli report IN OUT.pdf\n"
           "       meterlink-cli stats FILE... [--from TIME] [--to TIME] [--json]\n"
#endif
#ifdef METERLINK_HEADLESS_LOG
           "       meterlink-cli log (--port DEVICE | --usb [sim:SOCKET]) [--out FILE] [...]\n"
           "       meterlink-cli send --meter MODEL --port PORT COMMAND\n"
#endif
#ifdef METERLINK_DETECT
           "       meterlink-cli detect [--port PORT]... [--usb] [--json]\n"
#endif
           "       meterlink-cli --help | --version\n"
           "\n"
           "decode    reads a raw byte stream from the meter (FILE or standard input) and\n"
           "          prints one tab-separated line per accepted frame.\n"
           "simulate  streams meter frames on a new pseudo-terminal whose path it prints;\n"
           "          with --usb, plays the meter's USB cable on a Unix-domain socket,\n"
           "          one input report every --report-ms milliseconds (default 10).\n"
           "meters    lists the meters MeterLink reads (the names --meter takes).\n"
#ifdef METERLINK_DATA_FILES
           "convert   loads a log file and saves it again: text, XML, CSV or JSON lines,\n"
           "          chosen by the names.\n"
           "report    writes the printed report of a log file as PDF.\n"
           "stats     prints the statistics of saved logs, per unit.\n"
#endif
#ifdef METERLINK_HEADLESS_LOG
           "log       logs the meter without a window (see meterlink-cli log --help).\n"
           "send      presses a button of a meter on its UT-D09 cable (see meterlink-cli\n"
           "          send --help).\n"
#endif
#ifdef METERLINK_DETECT
           "detect    finds the meters on the serial ports and the meter cables plugged in\n"
           "          (see meterlink-cli detect --help).\n"
#endif
           ;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(std::cerr);
        return 2;
    }
    if (std::strcmp(argv[1], "decode") == 0) return runDecode(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "simulate") == 0) return runSimulate(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "meters") == 0) return runMeters(argc - 1, argv + 1);
#ifdef METERLINK_DATA_FILES
    if (std::strcmp(argv[1], "convert") == 0) return runConvert(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "report") == 0) return runReport(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "stats") == 0) return runStats(argc - 1, argv + 1);
#endif
#ifdef METERLINK_HEADLESS_LOG
    if (std::strcmp(argv[1], "log") == 0) return runLog(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "send") == 0) return runSend(argc - 1, argv + 1);
#endif
#ifdef METERLINK_DETECT
    if (std::strcmp(argv[1], "detect") == 0) return runDetect(argc - 1, argv + 1);
#endif
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        usage(std::cout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::cout << "meterlink-cli " METERLINK_VERSION "\n";
        return 0;
    }
    std::cerr << "meterlink-cli: unknown command '" << argv[1] << "'\n";
    usage(std::cerr);
    return 2;
}
