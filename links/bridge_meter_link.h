#pragma once
// A polled meter on its UT-D09 cable: finds the cable by its USB id (the one
// named, or the only one plugged in), sets its bridge up for the meter's
// line, reads its input reports on a read thread and hands the meter's
// bytes on, and sends the model's request on a timer (never waiting for the
// answer). The owner tells it of each reading; a meter that has let several
// requests go unanswered counts as lost, like a port that went away, and as
// back with its next reading. A cable that goes away is looked for again
// every 2 s.

#include "links/hid_platform.h"
#include "links/uart_bridge.h"
#include "protocol/meter_table.h"
#include "protocol/meters/unit_abcd_commands.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class THidDeviceReadThread;

class BridgeMeterLink : public QObject {
    Q_OBJECT
public:
    static constexpr int kRetryMs = 2000;
    // Requests in a row without a reading before the meter counts as lost.
    static constexpr int kUnansweredPolls = 5;

    using BytesHandler = std::function<void(const std::uint8_t* data, std::size_t size)>;

    BridgeMeterLink(std::shared_ptr<HidPlatform> platform, const meterlink::MeterModel& model,
                    QObject* parent = nullptr);
    ~BridgeMeterLink() override;

    // Opens the cable at path (a HID device path), or the only UT-D09 cable
    // when path is empty, and starts polling. False with the reason.
    bool open(QString& error, const QString& path = {});
    void close();
    bool isOpen() const { return handle_ != nullptr; }
    // True while the meter answers.
    bool linked() const { return handle_ && !lost_; }
    // "UT-D09 (CP2110)"
    QString cableText() const;

    void setBytesHandler(BytesHandler h) { onBytes_ = std::move(h); }
    // A reading was decoded from the bytes handed on.
    void noteReading();
    // Sends a button; false when the cable is not open or took nothing.
    bool send(meterlink::AbCdCommand c);
    // Stops or starts the timed requests (the `send` command asks nothing).
    void setPolling(bool on);
    std::size_t pollsSent() const { return polls_; }

signals:
    void lost(const QString& reason);
    void returned();

private:
    bool openCable(const THidPnPInfo& info, meterlink::UartBridge bridge, QString& error);
    bool write(const std::uint8_t* data, std::size_t size);
    void poll();
    void readFailed(std::uint32_t error);
    // cableFailed: the cable is dropped and looked for again; otherwise
    // (a silent meter) it is kept and the requests go on.
    void lose(const QString& reason, bool cableFailed);
    void retry();
    void dropCable();

    std::shared_ptr<HidPlatform> platform_;
    const meterlink::MeterModel& model_;
    QString path_;
    meterlink::UartBridge bridge_ = meterlink::UartBridge::Cp2110;
    std::unique_ptr<HidHandle> handle_;
    std::unique_ptr<THidDeviceReadThread> reader_;
    BytesHandler onBytes_;
    QTimer poll_;
    QTimer retry_;
    bool polling_ = true;
    bool lost_ = false;
    int unanswered_ = 0;
    unsigned openings_ = 0;
    std::size_t polls_ = 0;
};
