#include "mqtt_options.h"

#include <QFileInfo>

#include <charconv>

const char* mqttUsage() {
    return "  --mqtt URL      also publish each row to an MQTT broker:\n"
           "                  mqtt://[USER[:PASSWORD]@]HOST[:PORT]/TOPIC-PREFIX, or\n"
           "                  mqtts:// for TLS (port 1883, mqtts 8883). Rows go to\n"
           "                  PREFIX/reading as JSON (QoS 1), the latest retained to\n"
           "                  PREFIX/state, and PREFIX/status is online or offline.\n"
           "                  The password may come from METERLINK_MQTT_PASSWORD instead.\n"
           "                  A prefix starting with $, too long for a topic or not\n"
           "                  UTF-8 is refused\n"
           "  --mqtt-ca FILE  mqtts: the CA certificate that signed the broker's\n"
           "                  (default: the system's certificates)\n"
           "  --mqtt-queue N  rows kept for the broker while it is away (default\n"
           "                  100000, at least 100); beyond, the oldest are dropped\n";
}

bool isMqttOption(const std::string& arg) {
    return arg == "--mqtt" || arg == "--mqtt-ca" || arg == "--mqtt-queue";
}

bool takeMqttOption(const std::string& arg, const std::string& value, MqttOptions& o, std::string& error) {
    if (arg == "--mqtt") {
        QString why;
        o.target = parseMqttUrl(QString::fromLocal8Bit(value.c_str()), qEnvironmentVariable("METERLINK_MQTT_PASSWORD"),
                                why);
        if (!o.target) error = why.toStdString();
        return o.target.has_value();
    }
    if (arg == "--mqtt-ca") {
        const QFileInfo file(QString::fromLocal8Bit(value.c_str()));
        if (value.empty() || !file.isFile() || !file.isReadable()) {
            error = "--mqtt-ca: cannot read the certificate file '" + value + "'";
            return false;
        }
        o.caFile = file.absoluteFilePath();
        return true;
    }
    int limit = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), limit);
    if (ec != std::errc() || end != value.data() + value.size() || limit < 100) {
        error = "--mqtt-queue wants a whole number of rows, at least 100";
        return false;
    }
    o.queueLimit = limit;
    return true;
}

bool checkMqttOptions(const MqttOptions& o, std::string& error) {
    if (!o.caFile.isEmpty() && !(o.target && o.target->tls)) {
        error = "--mqtt-ca goes with an mqtts:// broker";
        return false;
    }
    if (o.queueLimit != 100000 && !o.target) {
        error = "--mqtt-queue goes with --mqtt";
        return false;
    }
    return true;
}
