#include "links/serial_port_driver.h"

#include "links/network_port.h"
#include "links/port_open_failure.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
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
      socket_(new QTcpSocket(this)),
      device_(port_),
      pollTimer_(new QTimer(this)),
      commandTimer_(new QTimer(this)),
      receiveBuffer_(inBufSize_) {
    connect(pollTimer_, &QTimer::timeout, this, &TSerialPortDriver::PollTick);
    connect(commandTimer_, &QTimer::timeout, this, &TSerialPortDriver::sendPollCommand);
    connect(port_, &QSerialPort::errorOccurred, this, &TSerialPortDriver::onPortError);
    connect(port_, &QSerialPort::readyRead, this, &TSerialPortDriver::onReadyRead);
    connect(socket_, &QTcpSocket::errorOccurred, this, &TSerialPortDriver::onSocketError);
    connect(socket_, &QTcpSocket::readyRead, this, &TSerialPortDriver::onReadyRead);
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
    const QString name = portPath_.isEmpty() ? deviceName(comPort_) : portPath_;
    if (isNetworkPortName(name)) {
        if (!connectNetwork(name))
            return false;
    } else {
        device_ = port_;
        port_->setPortName(name);
        // Qt opens exclusively: a lock file everywhere, TIOCEXCL on Unix.
        if (!port_->open(QIODevice::ReadWrite)) {
            lastError_ = explainPortOpenFailure(name, port_->error(), port_->errorString());
            return false;
        }
    }
    lastError_.clear();
    connected_ = true;
    portLost_ = false;
    resetAnswerWatch();
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
    if (device_ == socket_)
        socket_->abort();
    else if (port_->isOpen())
        port_->close();
    connected_ = false;
    portLost_ = false;
    resetAnswerWatch();
}

bool TSerialPortDriver::Connected() const {
    return connected_;
}

void TSerialPortDriver::PurgeBuffers(bool input, bool output) {
    if (!reading())
        return;
    if (network()) {
        // Only what was received can be thrown away; nothing is ever sent.
        if (input)
            socket_->skip(socket_->bytesAvailable());
        return;
    }
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
    if (network()) {
        // The server owns the line; only the queue and its bound are ours.
        PurgeBuffers(true, true);
        socket_->setReadBufferSize(inBufSize_);
        return;
    }
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
    if (dtr_ != llAsIs)
        port_->setDataTerminalReady(dtr_ == llHigh);
    // Under hardware flow control RTS belongs to the handshake.
    if (hw_ != hhRTSCTS && rts_ != llAsIs)
        port_->setRequestToSend(rts_ == llHigh);

    PurgeBuffers(true, true);

    // Bounds what Qt pulls from the system, so a backlog stays queued there and
    // comes out at most one receive buffer per tick.
    port_->setReadBufferSize(inBufSize_);
}

void TSerialPortDriver::PollTick() {
    if (!reading())
        return;
    const qint64 count = device_->read(reinterpret_cast<char*>(receiveBuffer_.data()),
                                     static_cast<qint64>(receiveBuffer_.size()));
    if (count <= 0)
        return;
    awaitingAnswer_ = false;
    if (silent_) {
        silent_ = false;
        emit meterAnswers();
    }
    if (onReceiveData_)
        onReceiveData_(this, receiveBuffer_.data(), static_cast<int>(count));
}

void TSerialPortDriver::onReadyRead() {
    if (!readOnArrival_)
        return;
    // A buffer at a time, as the poll would, until the port holds no more.
    while (reading() && device_->bytesAvailable() > 0)
        PollTick();
}

void TSerialPortDriver::onPortError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!reading() || network())
        return;
    // Not the system's text: a hung-up line reads end-of-file and the text
    // then tells of whatever call failed last.
    markLost(error == QSerialPort::ResourceError
                 ? QStringLiteral("the device was removed from the system")
                 : QStringLiteral("the device stopped delivering data (cable pulled or far end closed)"));
}

void TSerialPortDriver::onSocketError(QAbstractSocket::SocketError error) {
    const int systemError = errno;   // the failed read's, before any other call
    if (!reading() || !network())
        return;
    markLost(networkLossText(error, socket_->errorString(), systemError));
}

void TSerialPortDriver::markLost(const QString& reason) {
    // A vanished device keeps signalling readiness; reading on would spin the GUI
    // thread, so the handle is dropped at the first error. Connected stays true
    // until the user disconnects.
    portLost_ = true;
    pollTimer_->stop();
    commandTimer_->stop();
    if (network())
        socket_->abort();
    else
        port_->close();
    emit portLostDetected(reason);
}

bool TSerialPortDriver::connectNetwork(const QString& name) {
    const auto address = parseNetworkPortName(name, lastError_);
    if (!address)
        return false;
    device_ = socket_;
    socket_->abort();
    // Opening a local port blocks for the system's open call; a network port
    // blocks until the server answers, a few seconds at most.
    socket_->connectToHost(address->host, address->port, QIODevice::ReadWrite);
    if (!socket_->waitForConnected(kNetworkConnectTimeoutMs)) {
        lastError_ = networkOpenFailureText(socket_->error(), *address, socket_->errorString());
        socket_->abort();
        return false;
    }
    return true;
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
    dtr_ = v ? llHigh : llLow;
}

void TSerialPortDriver::setDtrOnOpen(TLineLevel v) {
    dtr_ = v;
}

void TSerialPortDriver::setEnableRTSOnOpen(bool v) {
    rts_ = v ? llHigh : llLow;
}

void TSerialPortDriver::setRtsOnOpen(TLineLevel v) {
    rts_ = v;
}

void TSerialPortDriver::setPollCommand(const QByteArray& command, int intervalMs) {
    pollCommand_ = command;
    pollCommandMs_ = std::max(0, intervalMs);
}

void TSerialPortDriver::sendPollCommand() {
    // write() only queues: the bytes leave as the line takes them. A meter
    // that stops answering must not make the queue grow, so a command still
    // waiting from the last tick is not queued again.
    if (!reading())
        return;
    if (!awaitingAnswer_) {
        awaitingAnswer_ = true;
        sinceUnanswered_.start();
    } else if (!silent_ && sinceUnanswered_.elapsed() >= std::max(answerTimeoutMs_, 2 * pollCommandMs_)) {
        silent_ = true;
        emit meterSilentDetected(
            QStringLiteral("the meter does not answer (nothing for %1 s); is it on and its cable attached?")
                .arg(QString::number(static_cast<double>(sinceUnanswered_.elapsed()) / 1000.0, 'f', 1)));
    }
    if (device_->bytesToWrite() > 0)
        return;
    device_->write(pollCommand_);
}

void TSerialPortDriver::resetAnswerWatch() {
    awaitingAnswer_ = false;
    silent_ = false;
}
