#include "report_command.h"

#include "log_file_command.h"
#include "recording/report_layout.h"
#include "recording/safe_file_write.h"

#include <QGuiApplication>
#include <QPdfWriter>

#include <iostream>

namespace {

bool writePdf(const meterlink::RecordTable& table, const QString& fileName, QString& reason) {
    return meterlink::writeFileSafely(
        fileName,
        [&table](QIODevice& file, QString& why) {
            QPdfWriter pdf(&file);
            pdf.setPageLayout(meterlink::ReportLayout::pageLayout());
            pdf.setTitle(QStringLiteral("Data Report"));
            pdf.setCreator(QStringLiteral("meterlink-cli"));
            if (meterlink::ReportLayout(table).print(pdf)) return true;
            why = QStringLiteral("the report could not be laid out");
            return false;
        },
        &reason);
}

}  // namespace

int runReport(int argc, char** argv) {
    LogFileCommand command;
    const auto done = command.parse(argc, argv,
                                    "usage: meterlink-cli report IN OUT.pdf\n"
                                    "Writes the printed report of the log file IN (text, or XML for a name ending\n"
                                    "in \".xml\") as a PDF of A4 pages. On failure OUT is left as it was and the\n"
                                    "exit code is 1.\n");
    if (done) return *done;
    // Fonts and PDF output need a GUI application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    meterlink::RecordTable table;
    if (!command.load(table)) return 1;
    if (table.rowCount() == 0) {
        std::cerr << "meterlink-cli: " << argv[1] << " holds no rows; the report would have no pages\n";
        return 1;
    }
    QString reason;
    if (!writePdf(table, command.out, reason))
        return LogFileCommand::saveFailed(QStringLiteral("meterlink-cli: could not write the report to ") + command.out,
                                          reason);
    return 0;
}
