// A window that logs readings and reports each one, to be killed from
// outside: journal_child ROWS PAUSE_MS [APPLICATION [ORGANIZATION]], the
// names that place its data folder (the program's own by default). Prints the count of logged rows
// after each row, then "done" and waits to be killed. Its journal goes into
// the data folder that XDG_DATA_HOME gives it.
//
// journal_child restore [APPLICATION [ORGANIZATION]] answers Yes to every
// journal offered at its start, printing "yes" just before each answer, then
// "restored N" with the rows it took, and ends.

#include "app/program_identity.h"
#include "app/tfcomm.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    setProgramIdentity();
    // The names follow the mode's own arguments.
    const int names = argc > 1 && std::string(argv[1]) == "restore" ? 2 : 3;
    if (argc > names) QCoreApplication::setApplicationName(QString::fromLocal8Bit(argv[names]));
    if (argc > names + 1) QCoreApplication::setOrganizationName(QString::fromLocal8Bit(argv[names + 1]));
    if (argc > 1 && std::string(argv[1]) == "restore") {
        TFCOMM window;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            std::printf("yes\n");
            std::fflush(stdout);
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) yes->click();
            else box->accept();
        });
        answer.start(5);
        const int restored = window.offerRecovery();
        std::printf("restored %d\n", restored);
        std::fflush(stdout);
        return 0;
    }
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
