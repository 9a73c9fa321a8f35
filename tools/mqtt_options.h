#pragma once
// The MQTT options of meterlink-cli log: --mqtt URL, --mqtt-ca FILE,
// --mqtt-queue N. The password may come from METERLINK_MQTT_PASSWORD.

#include "mqtt_url.h"

#include <QString>

#include <optional>
#include <string>

struct MqttOptions {
    std::optional<MqttTarget> target;   // none: rows are not published
    QString caFile;
    int queueLimit = 100000;
};

// The lines of log --help that tell of them.
const char* mqttUsage();
bool isMqttOption(const std::string& arg);
// Takes one option with its value; false with the reason in error.
bool takeMqttOption(const std::string& arg, const std::string& value, MqttOptions& options, std::string& error);
// After all options: checks what only makes sense together.
bool checkMqttOptions(const MqttOptions& options, std::string& error);
