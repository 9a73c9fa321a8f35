#include "convert_command.h"

#include "recording/data_files.h"

#include <QString>

#include <cstring>
#include <iostream>

namespace {

void convertUsage(std::ostream& out) {
    out << "usage: meterlink-cli convert IN OUT\n"
           "Loads the log file IN and saves it as OUT. A name ending in \".xml\" (lower\n"
           "case) is an XML data packet, any other tab-separated text. On failure OUT is\n"
           "left as it was and the exit code is 1.\n";
}

}  // namespace

int runConvert(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        convertUsage(std::cout);
        return 0;
    }
    if (argc != 3) {
        convertUsage(std::cerr);
        return 2;
    }
    const QString in = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    meterlink::RecordTable table;
    if (!meterlink::LoadTableFromFile(in, table, false)) {
        std::cerr << meterlink::loadFailedMessage().toStdString() << '\n';
        return 1;
    }
    if (!meterlink::saveTableToFile(table, out)) {
        std::cerr << meterlink::saveFailedMessage(out).toLocal8Bit().toStdString() << '\n';
        return 1;
    }
    return 0;
}
