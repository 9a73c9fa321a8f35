#pragma once
// "Find my meter": recognises the meter cables plugged in by their USB ids,
// and tries every serial port asked for at once, each with its own prober.
// The command line runs it in its event loop; the window's dialog in a
// thread of its own. Nothing is sent to a port unless it is probed.

#include "found_meter.h"
#include "port_prober.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class HidPlatform;

namespace meterlink {

class MeterFinder : public QObject {
    Q_OBJECT
public:
    struct Options {
        QStringList ports;          // named by the user: device paths and tcp:// ports
        bool systemPorts = false;   // also every serial port the system lists
        bool usb = false;           // look for meter cables among the HID devices
        std::shared_ptr<HidPlatform> hid;   // none: the system's (or METERLINK_HID's)
        ProbeTiming timing;
        QString decimalSep = QStringLiteral(".");
    };

    explicit MeterFinder(Options options, QObject* parent = nullptr);
    ~MeterFinder() override;

    // Starts; finished() follows, at once when there is nothing to try.
    void start();
    // Stops every prober; finished() follows.
    void cancel();
    // USB cables first, then the ports in the order tried.
    std::vector<FoundMeter> results() const;

    // The serial ports the system lists, by device path.
    static QStringList systemPortPaths();
    // The meter cables among the HID devices of a platform.
    static std::vector<FoundMeter> findUsbCables(HidPlatform& hid);

signals:
    void progress(const QString& port, const QString& what);
    void finished();

private:
    void proberDone();

    Options options_;
    std::vector<FoundMeter> usb_;
    std::vector<PortProber*> probers_;
    bool finished_ = false;
};

}  // namespace meterlink
