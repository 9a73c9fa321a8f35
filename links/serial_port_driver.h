#pragma once
// The polled serial port driver: opens one of four ports exclusively, sets the
// meter's line up and, from a timer on the GUI thread, hands whatever bytes
// arrived to its receive handler. Meters that speak only when asked get their
// poll command on a timer of its own; nothing ever waits for the line. A port
// named "tcp://HOST:PORT" is a serial port served over the network: the same
// driver reads it from a TCP connection, and the server sets the line.

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

class TSerialPortDriver : public QObject {
    Q_OBJECT
public:
    enum TComPortNumber { pnCOM1, pnCOM2, pnCOM3, pnCOM4 };
    enum TComPortBaudRate { br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
                            br19200, br38400, br56000, br57600, br115200 };
    enum TComPortDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
    enum TComPortStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
    enum TComPortParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
    enum TComPortHwHandshaking { hhNONE, hhRTSCTS };
    enum TComPortSwHandshaking { shNONE, shXONXOFF };

    // Sender, first byte, count (at least 1). The bytes are valid during the call only.
    using TComPortReceiveDataEvent =
        std::function<void(TSerialPortDriver* sender, const std::uint8_t* data, int size)>;

    explicit TSerialPortDriver(QObject* parent = nullptr);
    ~TSerialPortDriver() override;

    // The device a port number opens: "COM1".."COM4" on Windows; elsewhere
    // $METERLINK_COM1..4 when set, else /dev/ttyS0..3.
    static QString deviceName(TComPortNumber port);
    static int baudRateValue(TComPortBaudRate rate);
    // The enumerator of a rate in bits per second; false when there is none.
    static bool baudRateOf(int bitsPerSecond, TComPortBaudRate& rate);
    // How long opening a network port waits for the server.
    static constexpr int kNetworkConnectTimeoutMs = 3000;

    // A device path opened instead of ComPort's device; empty for ComPort's.
    // Like ComPort, ignored while the port is open.
    void setPortPath(const QString& path);
    QString portPath() const { return portPath_; }
    // Reads as bytes arrive instead of on the poll timer: for a process with
    // nothing else to do, ten timer wake-ups a second cost more than reading
    // the meter. Takes effect at the next Connect.
    void setReadOnArrival(bool on) { readOnArrival_ = on; }

    bool Connect();
    void Disconnect();
    bool Connected() const;
    void PurgeBuffers(bool input, bool output);
    void ApplySettings();

    // Why the last Connect failed, in words the user can act on (missing
    // device, in use by another program, no permission); empty after a success.
    QString lastError() const { return lastError_; }
    // True once the open port has reported it is gone (device unplugged, far
    // side of a pty closed). Reading stops then; Connected stays true until
    // Disconnect, as for any silent port.
    bool portLost() const { return portLost_; }

    TComPortNumber ComPort() const { return comPort_; }
    void setComPort(TComPortNumber port);
    TComPortBaudRate ComPortSpeed() const { return speed_; }
    void setComPortSpeed(TComPortBaudRate v);
    TComPortDataBits ComPortDataBits() const { return dataBits_; }
    void setComPortDataBits(TComPortDataBits v);
    TComPortStopBits ComPortStopBits() const { return stopBits_; }
    void setComPortStopBits(TComPortStopBits v);
    TComPortParity ComPortParity() const { return parity_; }
    void setComPortParity(TComPortParity v);
    TComPortHwHandshaking ComPortHwHandshaking() const { return hw_; }
    void setComPortHwHandshaking(TComPortHwHandshaking v);
    TComPortSwHandshaking ComPortSwHandshaking() const { return sw_; }
    void setComPortSwHandshaking(TComPortSwHandshaking v);
    quint16 ComPortInBufSize() const { return inBufSize_; }
    void setComPortInBufSize(quint16 v);
    quint16 ComPortOutBufSize() const { return outBufSize_; }
    void setComPortOutBufSize(quint16 v);
    quint16 ComPortPollingDelay() const { return pollingDelay_; }
    void setComPortPollingDelay(quint16 v);
    // A modem line while the port is open: driven low, driven high, or left
    // as the system opened it (some meters' cables need it untouched).
    enum TLineLevel { llLow, llHigh, llAsIs };
    bool EnableDTROnOpen() const { return dtr_ == llHigh; }
    void setEnableDTROnOpen(bool v);
    TLineLevel DtrOnOpen() const { return dtr_; }
    void setDtrOnOpen(TLineLevel v);
    // RTS asserted while the port is open (unless RTS/CTS handshaking owns it).
    // Like DTR, takes effect at the next application of the line settings.
    bool EnableRTSOnOpen() const { return rts_ == llHigh; }
    void setEnableRTSOnOpen(bool v);
    TLineLevel RtsOnOpen() const { return rts_; }
    void setRtsOnOpen(TLineLevel v);
    // Bytes sent on opening and then every intervalMs while open, for meters
    // that send a reading only when asked. An empty command sends nothing.
    // The bytes are queued, never waited for. Takes effect at the next Connect.
    void setPollCommand(const QByteArray& command, int intervalMs);
    const QByteArray& pollCommand() const { return pollCommand_; }
    int pollCommandInterval() const { return pollCommandMs_; }
    void setOnReceiveData(TComPortReceiveDataEvent handler) { onReceiveData_ = std::move(handler); }
    // A meter asked for its readings that sends nothing back for this long
    // (or two poll periods, if longer) is reported as not answering.
    static constexpr int kAnswerTimeoutMs = 3000;
    void setAnswerTimeout(int ms) { answerTimeoutMs_ = ms; }
    // True from meterSilent until the meter sends again.
    bool meterSilent() const { return silent_; }

signals:
    // Emitted once when an open port is lost (see portLost()).
    void portLostDetected(const QString& reason);
    // The meter stopped answering the poll command; the port stays open and
    // the polls go on. meterAnswers follows its first bytes after that.
    void meterSilentDetected(const QString& reason);
    void meterAnswers();

private:
    void PollTick();
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    void onSocketError(QAbstractSocket::SocketError error);
    bool connectNetwork(const QString& name);
    bool network() const { return device_ == socket_; }
    void markLost(const QString& reason);
    // Open and not lost: the handle may be read and set up.
    bool reading() const { return connected_ && !portLost_; }
    void startPolling();
    void sendPollCommand();
    void resetAnswerWatch();

    // Declared before the buffer, which is sized from inBufSize_.
    TComPortNumber comPort_ = pnCOM2;
    TComPortBaudRate speed_ = br9600;
    TComPortDataBits dataBits_ = db8BITS;
    TComPortStopBits stopBits_ = sb1BITS;
    TComPortParity parity_ = ptNONE;
    TComPortHwHandshaking hw_ = hhNONE;
    TComPortSwHandshaking sw_ = shNONE;
    quint16 inBufSize_ = 2048;
    quint16 outBufSize_ = 2048;
    quint16 pollingDelay_ = 50;
    TLineLevel dtr_ = llHigh;
    TLineLevel rts_ = llLow;
    QByteArray pollCommand_;
    int pollCommandMs_ = 0;
    QString portPath_;
    bool readOnArrival_ = false;

    QSerialPort* port_;
    QTcpSocket* socket_;
    // The one being read: port_, or socket_ for a network port.
    QIODevice* device_;
    QTimer* pollTimer_;
    QTimer* commandTimer_;
    // Every tick reads into this one buffer; its content is valid only during OnReceiveData.
    std::vector<std::uint8_t> receiveBuffer_;
    TComPortReceiveDataEvent onReceiveData_;
    QString lastError_;
    bool connected_ = false;
    bool portLost_ = false;
    // A poll was sent and nothing has arrived since; when the first such poll went.
    bool awaitingAnswer_ = false;
    QElapsedTimer sinceUnanswered_;
    bool silent_ = false;
    int answerTimeoutMs_ = kAnswerTimeoutMs;
};
