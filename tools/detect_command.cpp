#include "detect_command.h"

#include "meter_finder.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include <iostream>

std::string detectUsage() {
    return "usage: meterlink-cli detect [--port PORT]... [--usb] [--json]\n"
           "Finds meters: recognises the meter cables plugged in by their USB ids, and\n"
           "tries serial ports, first listening at the line settings of the meters that\n"
           "send unasked (up to 3 s each), then sending the request of each meter family\n"
           "that answers only when asked. Prints what answered: port, cable, protocol,\n"
           "the model or the models it may be, and a live reading; and the ports that\n"
           "could not be opened, with the reason.\n"
           "Without --port and --usb it tries every serial port of the system and the\n"
           "USB cables. Requests are sent only to the ports tried.\n"
           "\n"
           "  --port PORT  try this port (a device, or tcp://HOST:PORT); may be repeated.\n"
           "               With --port, the system's other ports are left alone.\n"
           "  --usb        look for meter cables among the USB devices\n"
           "  --json       print the results as one JSON array\n"
           "\n"
           "Exit status: 0 when a meter or a meter cable was found, 1 when none was,\n"
           "2 on a wrong argument.\n";
}

int runDetect(int argc, char** argv) {
    meterlink::MeterFinder::Options options;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << detectUsage();
            return 0;
        }
        if (arg == "--usb") {
            options.usb = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "--port") {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::cerr << "meterlink-cli detect: --port needs a port\n";
                return 2;
            }
            options.ports << QString::fromLocal8Bit(argv[++i]);
        } else {
            std::cerr << "meterlink-cli detect: unknown argument '" << arg << "'\n" << detectUsage();
            return 2;
        }
    }
    if (options.ports.isEmpty() && !options.usb) {
        options.systemPorts = true;
        options.usb = true;
    }

    static char name[] = "meterlink-cli";
    int qtArgc = 1;
    char* qtArgv[] = {name, nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    meterlink::MeterFinder finder(options);
    QObject::connect(&finder, &meterlink::MeterFinder::progress, [](const QString& port, const QString& what) {
        std::cerr << port.toStdString() << ": " << what.toStdString() << '\n';
    });
    QObject::connect(&finder, &meterlink::MeterFinder::finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    finder.start();
    QCoreApplication::exec();

    const std::vector<meterlink::FoundMeter> results = finder.results();
    bool any = false;
    for (const auto& r : results) any = any || r.status == meterlink::FoundMeter::Status::Found;
    if (json) {
        QJsonArray array;
        for (const auto& r : results) array.append(meterlink::foundMeterJson(r));
        std::cout << QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
    } else if (results.empty()) {
        std::cout << "No serial port or meter cable to try.\n";
    } else {
        for (const auto& r : results) std::cout << meterlink::foundMeterText(r).toStdString() << '\n';
    }
    return any ? 0 : 1;
}
