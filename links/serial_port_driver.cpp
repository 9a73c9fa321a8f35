#include "links/serial_port_driver.h"

#include "links/port_open_failure.h"

#include <QtGlobal>

#include <algorithm>
#include <array>

namespace {

QSerialPort::Parity toQtParity(TSerialPortDriver::TComPortParity parity) {
    switch (parity) {
    case TSerialPortDriver::ptODD: return QSerialPort::OddParity;
    case TSerialPortDriver::ptEVEN: return QSerialPort::EvenParity;
    case TSerialPortDriver::ptMARK: return QSerialPort::MarkParity;
    case TSerialPortDriver::ptSPACE: return QSerialPort::SpaceParity;
    case TSerialPortDriver::ptNONE: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits toQtStopBits(TSerialPortDriver::TComPortStopBits bits) {
    switch (bits) {
    case TSerialPortDriver::sb1HALFBITS: return QSerialPort::OneAndHalfStop;
    case TSerialPortDriver::sb2BITS: return QSerialPort::TwoStop;
    case TSerialPortDriver::sb1BITS: break;
    }
    return QSerialPort::OneStop;
}

} // namespace

TSerialPortDriver::TSerialPortDriver(QObject* parent)
    : QObject(parent),
      port_(new QSerialPort(this)),
      pollTimer_(new QTimer(this)),
      commandTimer_(new QTimer(this)),
      receiveBuffer_(inBufSize_) {
    connect(pollTimer_, &QTimer::timeout, this, &TSerialPortDriver::PollTick);
    connect(commandTimer_, &QTimer::timeout, this, &TSerialPortDriver::sendPollCommand);
    connect(port_, &QSerialPort::errorOccurred, this, &TSerialPortDriver::onPortError);
    connect(port_, &QSerialPort::readyRead, this, &TSerialPortDriver::onReadyRead);
}

TSerialPortDriver::~TSerialPortDriver() {
    Disconnect();
}

QString TSerialPortDriver::deviceName(TComPortNumber port) {
    const int number = static_cast<int>(port) + 1;
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(number);
#else
    // Lets a pseudo-terminal or a USB adapter stand in for a fixed port.
    const QString overridden =
        qEnvironmentVariable(QStringLiteral("METERLINK_COM%1").arg(number).toLatin1().constData());
    if (!overridden.isEmpty())
        return overridden;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

int TSerialPortDriver::baudRateValue(TComPortBaudRate rate) {
    static constexpr std::array<int, 13> kRates{110,   300,   600,   1200,  2400,  4800,  9600,
                                                14400, 19200, 38400, 56000, 57600, 115200};
    const auto index = static_cast<std::size_t>(rate);
    return index < kRates.size() ? kRates[index] : 0;
}

bool TSerialPortDriver::baudRateOf(int bitsPerSecond, TComPortBaudRate& rate) {
    for (int i = br110; i <= br115200; ++i) {
        if (baudRateValue(static_cast<TComPortBaudRate>(i)) == bitsPerSecond) {
            rate = static_cast<TComPortBaudRate>(i);
            return true;
        }
    }
    return false;
}

bool TSerialPortDriver::Connect() {
    if (connected_)
        return true;
    port_->setPortName(portPath_.isEmpty() ? deviceName(comPort_) : portPath_);
    // Qt opens exclusively: a lock file everywhere, TIOCEXCL on Unix.
    if (!port_->open(QIODevice::ReadWrite)) {
        lastError_ = explainPortOpenFailure(deviceName(comPort_), port_->error(), port_->errorString());
        return false;
    }
    lastError_.clear();
    connected_ = true;
    portLost_ = false;
    ApplySettings();
    if (reading())
        startPolling();
    return true;
}

void TSerialPortDriver::Disconnect() {
    if (!connected_)
        return;
    pollTimer_->stop();
    commandTimer_->stop();
    // After a loss the handle is already closed; closing again would only raise an error.
    if (port_->isOpen())
        port_->close();
    connected_ = false;
    portLost_ = false;
}

bool TSerialPortDriver::Connected() const {
    return connected_;
}

void TSerialPortDriver::PurgeBuffers(bool input, bool output) {
    if (!reading())
        return;
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    if (output)
        directions |= QSerialPort::Output;
    if (directions)
        port_->clear(directions);
}

void TSerialPortDriver::ApplySettings() {
    if (!reading())
        return;
    // Refusals (a pty has no modem lines, some rates are not supported) leave
    // the port open with what the system kept, as a real port would.
    port_->setBaudRate(baudRateValue(speed_));
    port_->setDataBits(static_cast<QSerialPort::DataBits>(static_cast<int>(dataBits_) + 5));
    port_->setParity(toQtParity(parity_));
    port_->setStopBits(toQtStopBits(stopBits_));
    if (hw_ == hhRTSCTS)
        port_->setFlowControl(QSerialPort::HardwareControl);
    else if (sw_ == shXONXOFF)
        port_->setFlowControl(QSerialPort::SoftwareControl);
    else
        port_->setFlowControl(QSerialPort::NoFlowControl);
    port_->setDataTerminalReady(enableDtr_);
    // Under hardware flow control RTS belongs to the handshake.
    if (hw_ != hhRTSCTS)
        port_->setRequestToSend(enableRts_);

    PurgeBuffers(true, true);

    // Bounds what Qt pulls from the system, so a backlog stays queued there and
    // comes out at most one receive buffer per tick.
    port_->setReadBufferSize(inBufSize_);
}

void TSerialPortDriver::PollTick() {
    if (!reading())
        return;
    const qint64 count = port_->read(reinterpret_cast<char*>(receiveBuffer_.data()),
                                     static_cast<qint64>(receiveBuffer_.size()));
    if (count > 0 && onReceiveData_)
        onReceiveData_(this, receiveBuffer_.data(), static_cast<int>(count));
}

void TSerialPortDriver::onReadyRead() {
    if (!readOnArrival_)
        return;
    // A buffer at a time, as the poll would, until the port holds no more.
    while (reading() && port_->bytesAvailable() > 0)
        PollTick();
}

void TSerialPortDriver::onPortError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!reading())
        return;
    // A vanished device keeps signalling readiness; reading on would spin the GUI
    // thread, so the handle is dropped at the first error. Connected stays true
    // until the user disconnects.
    portLost_ = true;
    pollTimer_->stop();
    commandTimer_->stop();
    // Not the system's text: a hung-up line reads end-of-file and the text
    // then tells of whatever call failed last.
    const QString reason = error == QSerialPort::ResourceError
                               ? QStringLiteral("the device was removed from the system")
                               : QStringLiteral("the device stopped delivering data (cable pulled or far end closed)");
    port_->close();
    emit portLostDetected(reason);
}

void TSerialPortDriver::startPolling() {
    if (!pollCommand_.isEmpty() && pollCommandMs_ > 0 && !commandTimer_->isActive()) {
        // Asked at once, so the first reading does not wait a whole interval.
        sendPollCommand();
        commandTimer_->start(pollCommandMs_);
    }
    if (readOnArrival_)
        return;
    // A zero period would make the timer fire on every pass of the event loop.
    pollTimer_->start(std::max(1, static_cast<int>(pollingDelay_)));
}

void TSerialPortDriver::setPortPath(const QString& path) {
    if (connected_)
        return;
    portPath_ = path;
}

void TSerialPortDriver::setComPort(TComPortNumber port) {
    if (connected_)
        return;
    comPort_ = port;
}

void TSerialPortDriver::setComPortSpeed(TComPortBaudRate v) {
    speed_ = v;
    ApplySettings();
}

void TSerialPortDriver::setComPortDataBits(TComPortDataBits v) {
    dataBits_ = v;
    ApplySettings();
}

void TSerialPortDriver::setComPortStopBits(TComPortStopBits v) {
    stopBits_ = v;
    ApplySettings();
}

void TSerialPortDriver::setComPortParity(TComPortParity v) {
    parity_ = v;
    ApplySettings();
}

void TSerialPortDriver::setComPortHwHandshaking(TComPortHwHandshaking v) {
    hw_ = v;
    ApplySettings();
}

void TSerialPortDriver::setComPortSwHandshaking(TComPortSwHandshaking v) {
    sw_ = v;
    ApplySettings();
}

void TSerialPortDriver::setComPortInBufSize(quint16 v) {
    // The buffer is handed out by the ticks of an open port, so it is only
    // replaced while closed. A zero-byte buffer could never deliver anything.
    if (connected_ || v == 0)
        return;
    inBufSize_ = v;
    receiveBuffer_ = std::vector<std::uint8_t>(v);
}

void TSerialPortDriver::setComPortOutBufSize(quint16 v) {
    // Nothing is ever sent, and Qt has no system output queue size to ask for.
    outBufSize_ = v;
}

void TSerialPortDriver::setComPortPollingDelay(quint16 v) {
    if (v == pollingDelay_)
        return;
    const bool restart = reading();
    if (restart)
        pollTimer_->stop();
    pollingDelay_ = v;
    if (restart)
        startPolling();
}

void TSerialPortDriver::setEnableDTROnOpen(bool v) {
    enableDtr_ = v;
}

void TSerialPortDriver::setEnableRTSOnOpen(bool v) {
    enableRts_ = v;
}

void TSerialPortDriver::setPollCommand(const QByteArray& command, int intervalMs) {
    pollCommand_ = command;
    pollCommandMs_ = std::max(0, intervalMs);
}

void TSerialPortDriver::sendPollCommand() {
    // write() only queues: the bytes leave as the line takes them. A meter
    // that stops answering must not make the queue grow, so a command still
    // waiting from the last tick is not queued again.
    if (!reading() || port_->bytesToWrite() > 0)
        return;
    port_->write(pollCommand_);
}
