#include "report_command.h"

#include "log_file_command.h"
#include "recording/report_layout.h"
#include "recording/safe_file_write.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPdfWriter>

#include <cstring>
#include <iostream>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: meterlink-cli report IN OUT.pdf [--title TEXT] [--operator TEXT] [--comment TEXT]\n"
    "                            [--meter TEXT] [--port TEXT] [--high LIMIT] [--low LIMIT] [--plain]\n"
    "Writes the printed report of the log file IN (text, XML, CSV or JSON lines, as\n"
    "the name picks) as a PDF of A4 pages: a first page with the title, meter and\n"
    "port, operator, comment, start, end and duration, the limits, the statistics\n"
    "of each unit, the verdict summary and the chart against time, then the table\n"
    "pages; every page says \"Page X of Y\" and the print date.\n"
    "  --title TEXT     the first page's title (default \"Data Report\")\n"
    "  --operator TEXT  who measured\n"
    "  --comment TEXT   a remark for the reader\n"
    "  --meter TEXT     the meter model; --port TEXT the port it was read through\n"
    "  --high LIMIT     the limits the log was judged by, as typed (\"5.5 V\");\n"
    "  --low LIMIT      with a unit they are drawn on the chart\n"
    "  --plain          the table pages alone, as the report was before\n"
    "On failure OUT is left as it was and the exit code is 1.\n";

bool writePdf(const meterlink::RecordTable& table, const meterlink::ReportDetails& details, const QString& fileName,
              QString& reason) {
    return meterlink::writeFileSafely(
        fileName,
        [&table, &details](QIODevice& file, QString& why) {
            QPdfWriter pdf(&file);
            pdf.setPageLayout(meterlink::ReportLayout::pageLayout());
            pdf.setTitle(details.title.isEmpty() ? QStringLiteral("Data Report") : details.title);
            pdf.setCreator(QStringLiteral("meterlink-cli"));
            if (meterlink::ReportLayout(table, details).print(pdf)) return true;
            why = QStringLiteral("the report could not be laid out");
            return false;
        },
        &reason);
}

}  // namespace

int runReport(int argc, char** argv) {
    meterlink::ReportDetails details;
    // The options, then IN and OUT as convert takes them.
    std::vector<char*> names{argv[0]};
    const struct {
        const char* name;
        QString* text;
    } kTexts[] = {{"--title", &details.title}, {"--operator", &details.operatorName}, {"--comment", &details.comment},
                  {"--meter", &details.meter}, {"--port", &details.port},          {"--high", &details.highLimit},
                  {"--low", &details.lowLimit}};
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--plain") == 0) {
            details.plain = true;
            continue;
        }
        bool taken = false;
        for (const auto& t : kTexts)
            if (std::strcmp(a, t.name) == 0) {
                if (i + 1 >= argc) {
                    std::cerr << "meterlink-cli report: " << a << " needs a text\n" << kUsage;
                    return 2;
                }
                *t.text = QString::fromLocal8Bit(argv[++i]);
                taken = true;
            }
        if (taken) continue;
        if (a[0] == '-' && a[1] == '-' && std::strcmp(a, "--help") != 0) {
            std::cerr << "meterlink-cli report: unknown option " << a << "\n" << kUsage;
            return 2;
        }
        names.push_back(argv[i]);
    }
    LogFileCommand command;
    const auto done = command.parse(static_cast<int>(names.size()), names.data(), kUsage);
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
    // Text and XML logs hold values as this machine's locale shows them.
    details.decimalSep = QLocale().decimalPoint();
    QString reason;
    if (!writePdf(table, details, command.out, reason))
        return LogFileCommand::saveFailed(QStringLiteral("meterlink-cli: could not write the report to ") + command.out,
                                          reason);
    return 0;
}
