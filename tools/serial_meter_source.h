#pragma once
// The meter on a serial device given by its path: the window's serial driver
// with the meter's line settings (exclusive), reading as bytes arrive. A lost device is
// opened again by its path, so a port that comes back under the same name (a
// USB adapter plugged in again, a link re-pointed to a new device) is found.

#include "meter_source.h"

#include "links/serial_port_driver.h"
#include "protocol/meter_table.h"

#include <QTimer>

namespace meterlink {
class LogSession;
}

class SerialMeterSource : public MeterSource {
    Q_OBJECT
public:
    SerialMeterSource(meterlink::LogSession& session, const QString& path, const meterlink::LineSettings& line,
                      QObject* parent = nullptr);

    bool open(QString& error) override;
    QString name() const override { return driver_.portPath(); }
    bool linked() const override { return driver_.Connected() && !driver_.portLost() && !driver_.meterSilent(); }

private:
    void portLost(const QString& reason);
    void reopen();

    TSerialPortDriver driver_;
    QTimer retry_;
};
