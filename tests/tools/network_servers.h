#pragma once
// Real servers for the network tests, each started on a free localhost port
// and stopped with the test: a serial-port server over a pty, an MQTT broker
// and a subscriber that records what it receives.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

#include <pwd.h>
#include <unistd.h>

namespace netserve {

constexpr int kStartMs = 10000;

inline quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

inline bool portAnswers(quint16 port) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    return s.waitForConnected(200);
}

inline bool have(const char* program) { return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty(); }

// A child process that is stopped (SIGTERM, then SIGKILL) when it goes.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child() { stop(); }
    void start(const QString& program, const QStringList& args) {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, args);
        process_.waitForStarted(kStartMs);
    }
    void stop(int signalNumber = SIGTERM) {
        if (process_.state() == QProcess::NotRunning) return;
        ::kill(static_cast<pid_t>(process_.processId()), signalNumber);
        if (!process_.waitForFinished(kStartMs)) {
            process_.kill();
            process_.waitForFinished(kStartMs);
        }
    }
    bool running() const { return process_.state() == QProcess::Running; }
    QByteArray output() { return out_ += process_.readAll(); }

private:
    QProcess process_;
    QByteArray out_;
};

// Serves a serial device (the simulator's pty) in raw mode on a TCP port.
class Ser2net : public Child {
public:
    Ser2net(const QString& dir, const QString& device, quint16 port) : config_(dir + QStringLiteral("/ser2net.yaml")) {
        QFile f(config_);
        if (f.open(QIODevice::WriteOnly))
            f.write(QStringLiteral("connection: &meter\n"
                                   "  accepter: tcp,127.0.0.1,%1\n"
                                   "  connector: serialdev,%2,2400n81,local\n"
                                   "  options:\n"
                                   "    mdns: false\n")
                        .arg(port)
                        .arg(device)
                        .toUtf8());
        f.close();
        start(QStringLiteral("ser2net"), {QStringLiteral("-n"), QStringLiteral("-c"), config_});
        ready_ = QTest::qWaitFor([&] { return portAnswers(port) || !running(); }, kStartMs) && running();
    }
    bool ready() const { return ready_; }

private:
    QString config_;
    bool ready_ = false;
};

// A broker; with users, anonymous clients are refused. Persistent, so a
// subscriber's session and its queued messages outlive a restart.
class Mosquitto : public Child {
public:
    Mosquitto(const QString& dir, quint16 port, const QString& user = {}, const QString& password = {}) {
        const QString config = dir + QStringLiteral("/mosquitto-%1.conf").arg(port);
        // Started as root it would switch to its own user, which may not use dir.
        const passwd* self = ::getpwuid(::getuid());
        QString text = QStringLiteral("listener %1 127.0.0.1\npersistence true\npersistence_location %2/\n"
                                      "autosave_interval 1\nuser %3\n")
                           .arg(port)
                           .arg(dir, QString::fromLocal8Bit(self ? self->pw_name : "root"));
        if (user.isEmpty()) {
            text += QStringLiteral("allow_anonymous true\n");
        } else {
            const QString passwords = dir + QStringLiteral("/passwords");
            QProcess::execute(QStringLiteral("mosquitto_passwd"),
                              {QStringLiteral("-c"), QStringLiteral("-b"), passwords, user, password});
            text += QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords);
        }
        QFile f(config);
        if (f.open(QIODevice::WriteOnly)) f.write(text.toUtf8());
        f.close();
        start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config});
        ready_ = QTest::qWaitFor([&] { return portAnswers(port) || !running(); }, kStartMs) && running();
    }
    bool ready() const { return ready_; }

private:
    bool ready_ = false;
};

// mosquitto_sub -v on PREFIX/#: one "topic payload" line per message.
class Subscriber : public Child {
public:
    Subscriber(quint16 port, const QString& prefix, const QString& id) {
        // A persistent QoS 1 session: what arrives while it reconnects is kept for it.
        start(QStringLiteral("mosquitto_sub"),
              {QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
               QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-c"), QStringLiteral("-i"), id,
               QStringLiteral("-v"), QStringLiteral("-t"), prefix + QStringLiteral("/#")});
    }
    // The payloads received on one topic, in order.
    QList<QByteArray> on(const QByteArray& topic) {
        QList<QByteArray> payloads;
        for (const QByteArray& line : output().split('\n'))
            if (line.startsWith(topic + ' ')) payloads.append(line.mid(topic.size() + 1));
        return payloads;
    }
};

}  // namespace netserve
