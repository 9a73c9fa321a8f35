#include "mqtt_publisher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QThread>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int kKeepAliveSeconds = 15;

void initLibrary() {
    static const bool done = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)done;
}

// Why the broker answered no, from its CONNACK code.
QString refusalText(int rc) {
    switch (rc) {
    case 4: return QStringLiteral("the broker refused the user name or password");
    case 5: return QStringLiteral("the broker refused: not authorised (user name or password wrong or missing)");
    default: break;
    }
    return QStringLiteral("the broker refused the connection: ") + QString::fromUtf8(mosquitto_connack_string(rc));
}

// Why a connection could not be made or was lost, from the library's code.
QString failureText(int rc, int savedErrno, const MqttTarget& t) {
    switch (rc) {
    case MOSQ_ERR_EAI: return QStringLiteral("the host %1 is unknown").arg(t.host);
    case MOSQ_ERR_TLS:
        return QStringLiteral("the TLS handshake failed (is the broker's certificate signed by the CA given with "
                              "--mqtt-ca, and issued for %1?)")
            .arg(t.host);
    case MOSQ_ERR_ERRNO:
        if (savedErrno == ECONNREFUSED)
            return QStringLiteral("connection refused: no broker serves port %1 on %2").arg(t.port).arg(t.host);
        if (savedErrno == ETIMEDOUT) return QStringLiteral("the broker does not answer");
        if (savedErrno == 0) return QStringLiteral("the connection broke");
        return QString::fromLocal8Bit(std::strerror(savedErrno));
    case MOSQ_ERR_CONN_LOST: return QStringLiteral("the connection was lost");
    default: break;
    }
    return QString::fromUtf8(mosquitto_strerror(rc));
}

}  // namespace

MqttPublisher::MqttPublisher(Settings settings, QObject* parent) : QObject(parent), settings_(std::move(settings)) {}

MqttPublisher::~MqttPublisher() {
    destroyClient();
}

void MqttPublisher::destroyClient() {
    if (!mosq_) return;
    mosquitto_disconnect(mosq_);
    if (threadRunning_) mosquitto_loop_stop(mosq_, false);
    threadRunning_ = false;
    mosquitto_destroy(mosq_);
    mosq_ = nullptr;
    connected_ = false;
}

bool MqttPublisher::start(QString& why, int timeoutMs, const std::function<bool()>& stopAsked) {
    initLibrary();
    const MqttTarget& t = settings_.target;
    mosq_ = mosquitto_new(nullptr, true, this);
    if (!mosq_) {
        why = QStringLiteral("cannot create an MQTT client");
        return false;
    }
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!t.user.isEmpty())
        mosquitto_username_pw_set(mosq_, t.user.toUtf8().constData(),
                                  t.hasPassword ? t.password.toUtf8().constData() : nullptr);
    const QByteArray status = t.status().toUtf8();
    mosquitto_will_set(mosq_, status.constData(), 7, "offline", 1, true);
    if (t.tls) {
        const QByteArray ca = settings_.caFile.toLocal8Bit();
        const int rc = settings_.caFile.isEmpty()
                           ? mosquitto_tls_set(mosq_, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                           : mosquitto_tls_set(mosq_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            why = QStringLiteral("cannot use the CA certificate %1: %2")
                      .arg(settings_.caFile.isEmpty() ? QStringLiteral("/etc/ssl/certs") : settings_.caFile,
                           QString::fromUtf8(mosquitto_strerror(rc)));
            destroyClient();
            return false;
        }
    }
    mosquitto_reconnect_delay_set(mosq_, kRetrySeconds, kRetrySeconds, false);
    // The library calls these on its own thread once running; each hands its
    // event to this object's thread, where all state lives.
    mosquitto_connect_callback_set(mosq_, [](mosquitto*, void* self, int rc) {
        auto* p = static_cast<MqttPublisher*>(self);
        QMetaObject::invokeMethod(p, [p, rc] { p->onConnect(rc); }, Qt::QueuedConnection);
    });
    mosquitto_disconnect_callback_set(mosq_, [](mosquitto*, void* self, int rc) {
        auto* p = static_cast<MqttPublisher*>(self);
        QMetaObject::invokeMethod(p, [p, rc] { p->onDisconnect(rc); }, Qt::QueuedConnection);
    });
    mosquitto_publish_callback_set(mosq_, [](mosquitto*, void* self, int mid) {
        auto* p = static_cast<MqttPublisher*>(self);
        QMetaObject::invokeMethod(p, [p, mid] { p->onPublish(mid); }, Qt::QueuedConnection);
    });

    errno = 0;
    int rc = mosquitto_connect(mosq_, t.host.toUtf8().constData(), t.port, kKeepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        why = failureText(rc, errno, t);
        destroyClient();
        return false;
    }
    // Until the broker has answered, the loop runs here, so a refusal is known
    // before logging begins.
    const QDeadlineTimer deadline(timeoutMs);
    while (startRc_ < 0 && !deadline.hasExpired()) {
        if (stopAsked && stopAsked()) {
            why = QStringLiteral("stopped before the broker answered");
            destroyClient();
            return false;
        }
        errno = 0;
        rc = mosquitto_loop(mosq_, 100, 1);
        const int savedErrno = errno;
        QCoreApplication::sendPostedEvents(this);
        if (rc != MOSQ_ERR_SUCCESS && startRc_ < 0) {
            why = rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_NO_CONN
                      ? QStringLiteral("the broker closed the connection without answering")
                      : failureText(rc, savedErrno, t);
            destroyClient();
            return false;
        }
    }
    if (startRc_ != 0) {
        why = startRc_ < 0 ? QStringLiteral("the broker does not answer") : refusalText(startRc_);
        destroyClient();
        return false;
    }
    if (mosquitto_loop_start(mosq_) != MOSQ_ERR_SUCCESS) {
        why = QStringLiteral("cannot start the MQTT network thread");
        destroyClient();
        return false;
    }
    threadRunning_ = true;
    pump();
    return true;
}

void MqttPublisher::onConnect(int rc) {
    if (!threadRunning_) {
        startRc_ = rc;
    } else if (rc != 0) {
        // The broker is back but says no (a changed password): tell it once.
        if (!lostReported_) {
            emit notice(QStringLiteral("MQTT broker %1: %2; trying again every %3 s")
                            .arg(settings_.target.where(), refusalText(rc))
                            .arg(kRetrySeconds));
            lostReported_ = true;
        }
        return;
    }
    if (rc != 0) return;
    connected_ = true;
    publishStatus("online");
    stateSent_ = false;
    publishState();
    if (lostReported_) {
        QString text = QStringLiteral("MQTT broker %1 is back; delivering %2 queued rows")
                           .arg(settings_.target.where())
                           .arg(queue_.size());
        if (dropped_ > 0)
            text += QStringLiteral(" (%1 older rows were dropped from the MQTT stream; the log has them)").arg(dropped_);
        emit notice(text);
        lostReported_ = false;
        dropped_ = 0;
    }
    pump();
}

void MqttPublisher::onDisconnect(int rc) {
    connected_ = false;
    // While starting, start() says why the broker was not usable.
    if (!threadRunning_ || finishing_ || rc == 0 || lostReported_) return;
    lostReported_ = true;
    emit notice(QStringLiteral("MQTT broker %1 lost (%2); rows are queued, trying again every %3 s")
                    .arg(settings_.target.where(), failureText(rc, 0, settings_.target))
                    .arg(kRetrySeconds));
}

void MqttPublisher::onPublish(int mid) {
    if (mid == offlineMid_) offlineAcked_ = true;
    for (std::size_t i = 0; i < handedOut_; ++i) {
        if (queue_[i].mid == mid) {
            queue_[i].acked = true;
            break;
        }
    }
    while (!queue_.empty() && queue_.front().acked) {
        queue_.pop_front();
        --handedOut_;
    }
    pump();
}

void MqttPublisher::publish(QByteArray json) {
    latest_ = json;
    stateSent_ = false;
    Row row;
    row.json = std::move(json);
    enqueue(std::move(row));
    publishState();
}

void MqttPublisher::publishTo(const QString& subtopic, QByteArray json) {
    Row row;
    row.json = std::move(json);
    row.topic = (settings_.target.prefix + QLatin1Char('/') + subtopic).toUtf8();
    enqueue(std::move(row));
}

void MqttPublisher::enqueue(Row row) {
    if (static_cast<int>(queue_.size()) >= settings_.queueLimit && handedOut_ < queue_.size()) {
        // The oldest row not yet with the library goes; the rest keep their order.
        queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(handedOut_));
        if (dropped_++ == 0)
            emit notice(QStringLiteral("MQTT queue full at %1 rows: the oldest waiting rows are dropped from the MQTT "
                                       "stream until the broker is back (the log keeps them)")
                            .arg(settings_.queueLimit));
    }
    queue_.push_back(std::move(row));
    pump();
}

void MqttPublisher::pump() {
    if (!threadRunning_ || finishing_) return;
    const QByteArray topic = settings_.target.reading().toUtf8();
    while (handedOut_ < queue_.size() && handedOut_ < static_cast<std::size_t>(kWindow)) {
        Row& row = queue_[handedOut_];
        int mid = 0;
        // Without a connection the library keeps the message and sends it once
        // connected again; only other errors mean it was not taken.
        const QByteArray& to = row.topic.isEmpty() ? topic : row.topic;
        const int rc = mosquitto_publish(mosq_, &mid, to.constData(), static_cast<int>(row.json.size()),
                                         row.json.constData(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_NO_CONN) return;
        row.mid = mid;
        ++handedOut_;
    }
}

void MqttPublisher::publishState() {
    if (!connected_ || stateSent_ || latest_.isEmpty() || !threadRunning_) return;
    const QByteArray topic = settings_.target.state().toUtf8();
    if (mosquitto_publish(mosq_, nullptr, topic.constData(), static_cast<int>(latest_.size()), latest_.constData(), 1,
                          true) == MOSQ_ERR_SUCCESS)
        stateSent_ = true;
}

void MqttPublisher::publishStatus(const char* text) {
    const QByteArray topic = settings_.target.status().toUtf8();
    int mid = 0;
    mosquitto_publish(mosq_, &mid, topic.constData(), static_cast<int>(std::strlen(text)), text, 1, true);
    if (std::strcmp(text, "offline") == 0) offlineMid_ = mid;
}

void MqttPublisher::finish(int graceMs) {
    if (!mosq_ || finishing_) return;
    if (connected_) {
        // What is queued gets its chance, then the broker hears the run ended.
        QDeadlineTimer deadline(graceMs);
        const auto waitWhile = [&](auto busy) {
            while (connected_ && busy() && !deadline.hasExpired()) {
                QCoreApplication::processEvents();
                QThread::msleep(5);
            }
        };
        waitWhile([this] { return !queue_.empty(); });
        publishStatus("offline");
        waitWhile([this] { return !offlineAcked_; });
    }
    finishing_ = true;
    if (!queue_.empty())
        emit notice(QStringLiteral("MQTT: %1 rows could not be delivered to %2").arg(queue_.size()).arg(settings_.target.where()));
    destroyClient();
}
