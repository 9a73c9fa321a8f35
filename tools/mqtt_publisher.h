#pragma once
// Publishes logged rows to an MQTT broker: each row to PREFIX/reading (QoS 1,
// in order), the latest also retained to PREFIX/state, and PREFIX/status
// "online" (retained) while running, with a Last Will of "offline".
//
// The network runs on libmosquitto's own thread, so a slow or absent broker
// never holds up logging; its events are handed to this object's thread.
// Rows wait in a bounded queue here while the broker is away; at the bound
// the oldest waiting rows are dropped (the log itself keeps them).

#include "mqtt_url.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>

struct mosquitto;

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultQueueLimit = 100000;
    static constexpr int kRetrySeconds = 3;
    // Rows handed to the library at once: bounds its own queue.
    static constexpr int kWindow = 20;

    struct Settings {
        MqttTarget target;
        QString caFile;   // mqtts: the CA certificate; empty: the system's
        int queueLimit = kDefaultQueueLimit;
    };

    explicit MqttPublisher(Settings settings, QObject* parent = nullptr);
    ~MqttPublisher() override;

    // Connects and waits for the broker's answer (up to timeoutMs, or until
    // stopAsked says yes). False, with the reason, when the broker cannot be
    // used: nothing is left running.
    bool start(QString& why, int timeoutMs = 10000, const std::function<bool()>& stopAsked = {});
    // One row's JSON object, queued for PREFIX/reading and PREFIX/state.
    void publish(QByteArray json);
    // A message for PREFIX/SUBTOPIC (a bench's channel, "CH2/reading"; an
    // alarm event, "alarm"), queued in order with the rows; not retained.
    void publishTo(const QString& subtopic, QByteArray json);
    // Says "offline", gives the queue up to graceMs to drain, and disconnects.
    void finish(int graceMs);

    int queued() const { return static_cast<int>(queue_.size()); }
    bool connected() const { return connected_; }

signals:
    // A line worth telling: the broker lost, back, or rows dropped.
    void notice(const QString& text);

private:
    struct Row {
        QByteArray json;
        int mid = -1;   // -1: not yet handed to the library
        bool acked = false;
        QByteArray topic;   // empty: PREFIX/reading
    };

    // Run on this object's thread, from the library's callbacks.
    void onConnect(int rc);
    void onDisconnect(int rc);
    void onPublish(int mid);
    void pump();
    void publishState();
    void publishStatus(const char* text);
    void enqueue(Row row);
    void destroyClient();

    Settings settings_;
    mosquitto* mosq_ = nullptr;
    bool threadRunning_ = false;
    std::deque<Row> queue_;
    std::size_t handedOut_ = 0;   // queue_[0, handedOut_) are with the library
    QByteArray latest_;           // for PREFIX/state
    bool stateSent_ = true;
    bool connected_ = false;
    bool lostReported_ = false;
    std::int64_t dropped_ = 0;    // since the last loss report
    int startRc_ = -1;            // CONNACK code while start() waits
    bool finishing_ = false;
    int offlineMid_ = -1;
    bool offlineAcked_ = false;
};
