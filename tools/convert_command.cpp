#include "convert_command.h"

#include "log_file_command.h"
#include "recording/data_files.h"


int runConvert(int argc, char** argv) {
    LogFileCommand command;
    const auto done = command.parse(argc, argv,
                                    "usage: meterlink-cli convert IN OUT\n"
                                    "Loads the log file IN and saves it as OUT. A name ending in \".xml\" (lower\n"
                                    "case) is an XML data packet, \".csv\" CSV and \".jsonl\" JSON lines for\n"
                                    "analysis tools, any other tab-separated text. On failure OUT is left as it\n"
                                    "was and the exit code is 1.\n");
    if (done) return *done;
    meterlink::RecordTable table;
    if (!command.load(table)) return 1;
    QString reason;
    if (!meterlink::saveTableToFile(table, command.out, &reason))
        return LogFileCommand::saveFailed(meterlink::saveFailedMessage(command.out), reason);
    return 0;
}
