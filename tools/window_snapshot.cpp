// meterlink-snapshot: opens the main window, clicks "COM Connection" (or "USB
// Connection"), lets the link run for a while and saves a picture of the
// window. For machines without a display (run it under xvfb-run or with
// QT_QPA_PLATFORM=offscreen). scripts/screenshots uses it for the README's
// pictures, with limits that give both verdicts and the chart enlarged.

#include "app/tfcomm.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <QComboBox>

#include "app/analysis/analysis_chart.h"
#include "app/analysis/analysis_launcher.h"

namespace {

void usage(FILE* out) {
    std::fputs("usage: meterlink-snapshot [--usb] [--high X] [--low Y] [--enlarge-chart] [--analysis]\n"
               "                          [--beside FILE] SECONDS PNG\n"
               "Shows the main window, connects COM 1 (set METERLINK_COM1 to the port's path),\n"
               "waits SECONDS and writes a picture of the window to PNG. With --usb it\n"
               "connects the USB cable instead (METERLINK_HID=sim:SOCKET for the simulated one).\n"
               "--high and --low type the limits in; --enlarge-chart enlarges the chart to the\n"
               "whole window before the picture is taken; --analysis pictures the analysis\n"
               "window instead, with its cursors at a third and two thirds of the view;\n"
               "--beside FILE also opens the saved log FILE there, lined up by its start.\n",
               out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
    bool usb = false;
    bool enlargeChart = false;
    bool analysis = false;
    QString beside;
    const char* highLimit = nullptr;
    const char* lowLimit = nullptr;
    while (argc > 1 && argv[1][0] == '-' && argv[1][1] == '-') {
        const char* option = argv[1];
        if (std::strcmp(option, "--usb") == 0) {
            usb = true;
        } else if (std::strcmp(option, "--enlarge-chart") == 0) {
            enlargeChart = true;
        } else if (std::strcmp(option, "--analysis") == 0) {
            analysis = true;
        } else if (std::strcmp(option, "--beside") == 0 && argc > 2) {
            analysis = true;
            beside = QString::fromLocal8Bit(argv[2]);
            --argc;
            ++argv;
        } else if ((std::strcmp(option, "--high") == 0 || std::strcmp(option, "--low") == 0) && argc > 2) {
            (option[2] == 'h' ? highLimit : lowLimit) = argv[2];
            --argc;
            ++argv;
        } else {
            usage(stderr);
            return 2;
        }
        --argc;
        ++argv;
    }
    if (argc != 3) {
        usage(stderr);
        return 2;
    }
    char* end = nullptr;
    const double seconds = std::strtod(argv[1], &end);
    if (end == argv[1] || *end != '\0' || !(seconds >= 0) || seconds > 3600) {
        std::fprintf(stderr, "meterlink-snapshot: SECONDS must be a number from 0 to 3600\n");
        return 2;
    }
    const QString pngPath = QString::fromLocal8Bit(argv[2]);

    // The window keeps a journal: in a scratch data folder, never the user's.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    QApplication app(argc, argv);
    TFCOMM window;
    window.show();

    const QString buttonName = usb ? QStringLiteral("USBCon") : QStringLiteral("COMCon");
    auto* button = window.findChild<QAbstractButton*>(buttonName);
    if (!button) {
        std::fprintf(stderr, "meterlink-snapshot: the window has no %s button\n", qPrintable(buttonName));
        return 1;
    }
    // Type the limits and click once the window is up, as a user would.
    const std::pair<const char*, const char*> limits[] = {{"T1HI", highLimit}, {"T1LO", lowLimit}};
    for (const auto& [editName, text] : limits) {
        auto* edit = window.findChild<QLineEdit*>(QString::fromLatin1(editName));
        if (edit && text) edit->setText(QString::fromLocal8Bit(text));
    }
    QTimer::singleShot(0, button, [button] { button->click(); });
    if (enlargeChart) QTimer::singleShot(0, &window, [&window] { window.TbFdClick(); });
    if (analysis)
        QTimer::singleShot(0, &window, [&window, &beside] {
            auto* view = window.analysis().open();
            view->resize(1000, 560);
            if (beside.isEmpty()) return;
            view->alignChoice()->setCurrentIndex(1);   // by start: today's run against the saved one
            QObject::connect(view, &meterlink::analysis::AnalysisWindow::failed, view,
                             [](const QString& file, const QString& reason) {
                                 std::fprintf(stderr, "meterlink-snapshot: could not open %s: %s\n", qPrintable(file),
                                              qPrintable(reason));
                             });
            view->openLog(beside);
        });

    int result = 1;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &window, [&] {
        // A port that would not open, or a missing cable, shows as a message box, outside the picture.
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                std::fprintf(stderr, "meterlink-snapshot: the window says: %s\n", qPrintable(box->text()));
        QWidget* shown = &window;
        if (analysis) {
            auto* view = window.analysis().open();
            auto* chart = view->chart();
            chart->showAll();
            const auto span = chart->view();
            chart->setCursorA(span.t0 + span.timeSpan() / 3);
            chart->setCursorB(span.t0 + span.timeSpan() * 2 / 3);
            QApplication::processEvents();
            shown = view;
        }
        const QPixmap picture = shown->grab();
        if (picture.isNull()) {
            std::fprintf(stderr, "meterlink-snapshot: could not grab the window\n");
        } else if (!picture.save(pngPath, "PNG")) {
            std::fprintf(stderr, "meterlink-snapshot: could not write %s\n", argv[2]);
        } else {
            result = 0;
        }
        // Leaves every event loop, a message box's included.
        QApplication::exit(result);
    });
    app.exec();
    return result;
}
