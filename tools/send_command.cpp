#include "send_command.h"

#include "links/bridge_meter_link.h"
#include "links/hid_platform_factory.h"
#include "links/socket_hid_platform.h"
#include "protocol/meters/meter_decoder.h"
#include "protocol/meters/unit_abcd_commands.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr int kAnswerWaitMs = 2000;

void sendUsage(std::ostream& out) {
    out << "usage: meterlink-cli send --meter MODEL --port PORT COMMAND\n"
           "Presses a button of a meter on its UT-D09 cable, then asks the meter for its\n"
           "reading and prints it (value, unit, function, range mode).\n"
           "\n"
           "  --meter MODEL   a model on the UT-D09 cable (UT61E+, UT61D+, ...)\n"
           "  --port PORT     usb: the one UT-D09 cable plugged in; hid:PATH: the cable at\n"
           "                  that HID device path; sim:SOCKET: the cable that\n"
           "                  meterlink-cli simulate --meter MODEL --usb SOCKET plays\n"
           "\n"
           "COMMAND is one of:";
    std::size_t n = 0;
    const meterlink::AbCdButton* buttons = meterlink::abCdButtons(n);
    for (std::size_t i = 0; i < n; ++i) out << ' ' << buttons[i].name;
    out << "\n";
}

}  // namespace

int runSend(int argc, char** argv) {
    std::string meterName, port, command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            sendUsage(std::cout);
            return 0;
        }
        if (arg == "--meter" || arg == "--port") {
            if (i + 1 >= argc) {
                std::cerr << "meterlink-cli send: " << arg << " needs a value\n";
                return 2;
            }
            (arg == "--meter" ? meterName : port) = argv[++i];
        } else if (command.empty() && arg.rfind("--", 0) != 0) {
            command = arg;
        } else {
            std::cerr << "meterlink-cli send: unknown argument '" << arg << "'\n";
            sendUsage(std::cerr);
            return 2;
        }
    }
    if (meterName.empty() || port.empty() || command.empty()) {
        std::cerr << "meterlink-cli send: --meter, --port and a command are needed\n";
        sendUsage(std::cerr);
        return 2;
    }
    const meterlink::MeterModel* meter = meterlink::findMeter(meterName);
    if (!meter) {
        std::cerr << "meterlink-cli send: unknown meter '" << meterName << "' (meterlink-cli meters lists them)\n";
        return 2;
    }
    if (meter->protocol != meterlink::MeterProtocol::UniTAbCd) {
        std::cerr << "meterlink-cli send: " << meterlink::meterName(*meter) << " takes no commands\n";
        return 2;
    }
    const auto button = meterlink::abCdCommandNamed(command);
    if (!button) {
        std::cerr << "meterlink-cli send: unknown command '" << command << "'\n";
        sendUsage(std::cerr);
        return 2;
    }
    std::shared_ptr<HidPlatform> platform;
    QString path;
    if (port == "usb") {
        platform = createHidPlatform();
    } else if (port.rfind("hid:", 0) == 0) {
        platform = createHidPlatform();
        path = QString::fromStdString(port.substr(4));
    } else if (port.rfind("sim:", 0) == 0) {
        platform = std::make_shared<SocketHidPlatform>(port.substr(4));
    } else {
        std::cerr << "meterlink-cli send: --port takes usb, hid:PATH or sim:SOCKET, not '" << port << "'\n";
        return 2;
    }

    int argcQt = 1;
    QCoreApplication app(argcQt, argv);
    BridgeMeterLink link(platform, *meter);
    link.setPolling(false);
    auto decoder = meterlink::makeDecoder(*meter, ".");
    link.setBytesHandler([&](const std::uint8_t* d, std::size_t n) { decoder->feed(d, n); });
    QString error;
    if (!link.open(error, path)) {
        std::cerr << "meterlink-cli send: " << error.toStdString() << '\n';
        return 1;
    }
    if (!link.send(*button)) {
        std::cerr << "meterlink-cli send: the cable took no command\n";
        return 1;
    }
    // The meter does not answer a button: its next reading shows what it did.
    int status = 1;
    decoder->setHandler([&](const meterlink::MeterDecoder& d) {
        const meterlink::MeterReading& r = d.reading();
        std::cout << "sent " << command << " to " << meterlink::meterName(*meter) << "; it shows " << r.ValueText
                  << ' ' << r.UnitText << ' ' << r.FunctionText << ' ' << r.AutoText
                  << (d.lcd().shown(meterlink::Lcd::Hold) ? " HOLD" : "")
                  << (d.lcd().shown(meterlink::Lcd::REL) ? " REL" : "")
                  << (d.lcd().shown(meterlink::Lcd::Max) ? " MAX" : "")
                  << (d.lcd().shown(meterlink::Lcd::Min) ? " MIN" : "") << '\n';
        status = 0;
        app.quit();
    });
    // Asks a moment later, and again until the answer comes.
    QTimer::singleShot(100, &app, [&] { link.setPolling(true); });
    QTimer::singleShot(kAnswerWaitMs, &app, [&] {
        std::cerr << "meterlink-cli send: the command went out, but the meter does not answer: is it on?\n";
        app.exit(1);
    });
    const int rc = app.exec();
    return status == 0 ? 0 : rc == 0 ? 1 : rc;
}
