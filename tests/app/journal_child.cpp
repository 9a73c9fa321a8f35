// A window that logs readings and reports each one, to be killed from
// outside: journal_child ROWS PAUSE_MS [APPLICATION [ORGANIZATION]], the
// names that place its data folder (the program's own by default). Prints the count of logged rows
// after each row, then "done" and waits to be killed. Its journal goes into
// the data folder that XDG_DATA_HOME gives it.

#include "app/program_identity.h"
#include "app/tfcomm.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setProgramIdentity();
    if (argc > 3) QCoreApplication::setApplicationName(QString::fromLocal8Bit(argv[3]));
    if (argc > 4) QCoreApplication::setOrganizationName(QString::fromLocal8Bit(argv[4]));
    const long rows = argc > 1 ? std::atol(argv[1]) : 10;
    const int pauseMs = argc > 2 ? std::atoi(argv[2]) : 1;
    TFCOMM window;
    window.show();
    long logged = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (logged == rows) {
            tick.stop();
            std::printf("done\n");
            std::fflush(stdout);
            return;
        }
        meterlink::MeterReading r;
        const long count = (logged * 7919) % 6000;
        r.ValueText = std::to_string(count / 1000) + "." + std::to_string(1000 + count % 1000).substr(1);
        r.FunctionText = logged % 3 ? "DC" : "AC";
        r.UnitText = logged % 5 ? "V" : "mV";
        r.AutoText = logged % 7 ? "AUTO" : "MANU";
        r.JudgeText = count > 5000 ? "Fail" : "pass";
        r.ChartValue = static_cast<double>(count) / 1000.0;
        window.logger().INDataToTable(r);
        ++logged;
        std::printf("%ld\n", logged);
        std::fflush(stdout);
    });
    tick.start(pauseMs);
    return QApplication::exec();
}
