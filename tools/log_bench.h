#pragma once
// What `meterlink-cli log` does besides logging, for a bench: calculated
// channels over the meter's readings, alarms on them with their actions, and
// the SCPI server answering from the latest readings and the logged rows.

#include "bench_options.h"

#include "channels/alarm_command_runner.h"
#include "channels/channel_board.h"
#include "protocol/meter_reading.h"
#include "serve/scpi_board.h"
#include "serve/scpi_server.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <string>

// An alarm's MQTT event: {"timestamp":...,"alarm":TEXT,"channel":"CH1",
// "value":5.61,"unit":"V","text":ACTION'S TEXT}.
std::string alarmEventJson(const meterlink::Alarm& alarm, const meterlink::AlarmEvent& event,
                           const std::string& text);

class LogBench : public QObject {
public:
    struct Hooks {
        std::function<void(const QString&)> notice;   // a line for standard error
        std::function<void(const QString&)> stop;     // end the run, saying why
        std::function<void()> sound;
        std::function<void(const QByteArray&)> mqtt;   // an alarm event for PREFIX/alarm
    };

    // intervalSeconds: the sampling interval (0: every frame, taken as 1 s
    // for staleness). limits: the judge's limits in SI units, when they have
    // units, for alarms "outside" without their own.
    LogBench(const BenchOptions& options, int intervalSeconds, std::optional<double> lowLimit,
             std::optional<double> highLimit, std::string identity, Hooks hooks);

    // Starts the SCPI server; false with why when its address cannot be used.
    bool start(QString& why);

    // Each decoded reading, and each logged row (the reading it holds).
    void reading(const meterlink::MeterReading& reading, const std::string& decimalSep);
    void rowLogged(const meterlink::MeterReading& reading, const std::string& decimalSep);

private:
    double now() const { return double(clock_.nsecsElapsed()) / 1e9; }
    void handle(const std::vector<meterlink::AlarmEvent>& events);

    BenchOptions options_;
    std::optional<double> lowLimit_;
    std::optional<double> highLimit_;
    std::string identity_;
    Hooks hooks_;
    QElapsedTimer clock_;
    meterlink::ChannelBoard board_;
    meterlink::ScpiBoard scpi_;
    std::unique_ptr<meterlink::ScpiServer> server_;
    meterlink::AlarmMonitor monitor_;
    meterlink::AlarmCommandRunner runner_;
    QTimer tick_;
};
