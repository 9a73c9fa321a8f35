#include "log_file_command.h"

#include "recording/data_files.h"

#include <cstring>
#include <iostream>

std::optional<int> LogFileCommand::parse(int argc, char** argv, const char* usage) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::cout << usage;
        return 0;
    }
    if (argc != 3) {
        std::cerr << usage;
        return 2;
    }
    in = QString::fromLocal8Bit(argv[1]);
    out = QString::fromLocal8Bit(argv[2]);
    return std::nullopt;
}

bool LogFileCommand::load(meterlink::RecordTable& table) const {
    QString reason;
    if (meterlink::LoadTableFromFile(in, table, false, &reason)) return true;
    std::cerr << meterlink::loadFailedMessage().toStdString() << ' ' << reason.toLocal8Bit().constData() << '\n';
    return false;
}

int LogFileCommand::saveFailed(const QString& message, const QString& reason) {
    std::cerr << message.toLocal8Bit().constData() << ": " << reason.toLocal8Bit().constData() << '\n';
    return 1;
}
