#include "report_command.h"

#include "recording/data_files.h"
#include "recording/report_layout.h"

#include <QGuiApplication>
#include <QPdfWriter>
#include <QSaveFile>

#include <cstring>
#include <iostream>

namespace {

void reportUsage(std::ostream& out) {
    out << "usage: meterlink-cli report IN OUT.pdf\n"
           "Writes the printed report of the log file IN (text, or XML for a name ending\n"
           "in \".xml\") as a PDF of A4 pages. On failure OUT is left as it was and the\n"
           "exit code is 1.\n";
}

bool writePdf(const meterlink::RecordTable& table, const QString& fileName) {
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) return false;
    {
        QPdfWriter pdf(&file);
        pdf.setPageLayout(meterlink::ReportLayout::pageLayout());
        pdf.setTitle(QStringLiteral("Data Report"));
        pdf.setCreator(QStringLiteral("meterlink-cli"));
        if (!meterlink::ReportLayout(table).print(pdf)) {
            file.cancelWriting();
            return false;
        }
    }
    return file.commit();
}

}  // namespace

int runReport(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        reportUsage(std::cout);
        return 0;
    }
    if (argc != 3) {
        reportUsage(std::cerr);
        return 2;
    }
    // Fonts and PDF output need a GUI application, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    const QString in = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    meterlink::RecordTable table;
    if (!meterlink::LoadTableFromFile(in, table, false)) {
        std::cerr << meterlink::loadFailedMessage().toStdString() << '\n';
        return 1;
    }
    if (table.rowCount() == 0) {
        std::cerr << "meterlink-cli: " << argv[1] << " holds no rows; the report would have no pages\n";
        return 1;
    }
    if (!writePdf(table, out)) {
        std::cerr << "meterlink-cli: could not write the report to " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
