#include "serial_meter_source.h"

#include "log_session.h"

#include "links/meter_line.h"

SerialMeterSource::SerialMeterSource(meterlink::LogSession& session, const QString& path,
                                     const meterlink::LineSettings& line, QObject* parent)
    : MeterSource(parent) {
    driver_.setPortPath(path);
    driver_.setReadOnArrival(true);
    applyMeterLine(driver_, line);
    driver_.setOnReceiveData([&session](TSerialPortDriver*, const std::uint8_t* bytes, int size) {
        session.feed(bytes, static_cast<std::size_t>(size));
    });
    connect(&driver_, &TSerialPortDriver::portLostDetected, this, &SerialMeterSource::portLost);
    // A polled meter that stops answering is lost to the log as a port is,
    // but the port stays open and asked: its next answer brings it back.
    connect(&driver_, &TSerialPortDriver::meterSilentDetected, this, &MeterSource::lost);
    connect(&driver_, &TSerialPortDriver::meterAnswers, this, &MeterSource::returned);
    retry_.setInterval(kRetryMs);
    connect(&retry_, &QTimer::timeout, this, &SerialMeterSource::reopen);
}

bool SerialMeterSource::open(QString& error) {
    if (driver_.Connect()) return true;
    error = driver_.lastError();
    return false;
}

void SerialMeterSource::portLost(const QString& reason) {
    driver_.Disconnect();
    emit lost(reason);
    retry_.start();
}

void SerialMeterSource::reopen() {
    if (!driver_.Connect()) return;
    retry_.stop();
    emit returned();
}
