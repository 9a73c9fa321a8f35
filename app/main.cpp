#include "bench_windows.h"
#include "link_pictures.h"
#include "meter_setting.h"
#include "old_storage.h"
#include "program_identity.h"
#include "tfcomm.h"
#include "user_settings.h"

#include "recording/journal.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <cstdio>

namespace {

// Help and version on a terminal, with or without a display.
int answerInformation(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setProgramIdentity();
    QCoreApplication::setApplicationName(QStringLiteral("meterlink"));   // what the user typed
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);   // prints and exits
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (asksForInformationOnly(argc, argv))
        return answerInformation(argc, argv);

    // The meter: --meter for this run, else the one chosen last time.
    const meterlink::MeterModel* meter = &meterlink::defaultMeter();
    if (const char* name = meterArgument(argc, argv)) {
        meter = meterlink::findMeter(name);
        if (!meter) {
            std::fprintf(stderr, "meterlink: no meter named \"%s\"; \"meterlink-cli meters\" lists them\n", name);
            return 2;
        }
    }

    QApplication app(argc, argv);
    setProgramIdentity();
    // Before anything reads a setting or a journal.
    const old_storage::Moved moved = old_storage::moveOver(meterlink::Journal::folder());
    for (const QString& failure : moved.failures)
        std::fprintf(stderr, "meterlink: could not move %s\n", failure.toLocal8Bit().constData());
    QCommandLineParser parser;
    describeCommandLine(parser);
    parser.process(app);   // an unknown option ends here with a message
    if (parser.isSet(QStringLiteral("reset"))) UserSettings::reset();
    QApplication::setWindowIcon(QIcon(applicationIcon()));

    if (!parser.isSet(meterOption())) {
        if (const QString stored = meter_setting::stored(); !stored.isEmpty()) {
            if (const meterlink::MeterModel* found = meterlink::findMeter(stored.toStdString()))
                meter = found;
            else
                std::fprintf(stderr, "meterlink: the meter chosen last time, \"%s\", is no longer known; using %s\n",
                             stored.toLocal8Bit().constData(), meterlink::meterName(*meter).c_str());
        }
    }

    // A window per --port; else the bench kept from the last run; else one window.
    QString why;
    std::vector<BenchWindows::Seat> seats = BenchWindows::seatsFromArguments(QCoreApplication::arguments(), why);
    if (!why.isEmpty()) {
        std::fprintf(stderr, "meterlink: %s\n", why.toLocal8Bit().constData());
        return 2;
    }
    const bool connectPorts = !seats.empty();
    if (seats.empty() && !parser.isSet(meterOption())) seats = BenchWindows::remembered();
    if (seats.empty()) seats.push_back({meter, QString()});
    // The first window's meter is also the one the Meter menu keeps.
    if (!seats.front().meter) seats.front().meter = meter;

    BenchWindows bench;
    for (const auto& seat : seats) {
        TFCOMM* window = bench.open(seat, connectPorts);
        window->setWindowIcon(QIcon(applicationIcon()));
        window->adjustSize();
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            // Side by side, each a little further on, so none hides another.
            const int n = bench.count() - 1;
            QRect at = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(), screen->availableGeometry());
            window->setGeometry(at.translated(n * 40, n * 40));
        }
    }
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &bench, [&bench] {
        if (bench.count() > 0) bench.remember();
    });
    // Asked over the first window, once it is up.
    TFCOMM* first = bench.window(0);
    QTimer::singleShot(0, first, [first] { first->offerRecovery(); });
    return QApplication::exec();
}
