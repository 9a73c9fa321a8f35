#pragma once
// Where rows are published: mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC-PREFIX,
// or mqtts:// for a TLS connection.

#include <QString>

#include <optional>

struct MqttTarget {
    bool tls = false;
    QString host;
    int port = 1883;
    QString user;       // empty: no user name
    QString password;   // meaningful only with a user
    bool hasPassword = false;
    QString prefix;     // topic prefix without a trailing '/'

    QString reading() const { return prefix + QStringLiteral("/reading"); }
    QString state() const { return prefix + QStringLiteral("/state"); }
    QString status() const { return prefix + QStringLiteral("/status"); }
    // For messages: the broker without the credentials.
    QString where() const;
};

// envPassword is used when the URL names a user but no password, so a
// secret need not show in the process list. On failure why says what is wrong.
std::optional<MqttTarget> parseMqttUrl(const QString& url, const QString& envPassword, QString& why);
