#pragma once
// Runs an alarm's command: never through a shell, the reading in its
// environment (METERLINK_CHANNEL, METERLINK_VALUE, METERLINK_UNIT,
// METERLINK_TIME, METERLINK_ALARM), killed after a timeout, its output kept
// only up to a bound. Everything is asynchronous: run() returns at once, so
// logging never waits for a command.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QProcess;

namespace meterlink {

struct CommandReading {
    QString channel;
    bool hasValue = false;
    double value = 0;
    QString unit;
    QDateTime time;
    QString alarm;  // the alarm as entered
};

struct AlarmEvent;
// What a command is told of the reading that raised its alarm, at this moment.
CommandReading commandReadingOf(const AlarmEvent& event, const QString& alarm);

struct CommandOutcome {
    QStringList argv;
    bool started = false;
    bool timedOut = false;
    bool crashed = false;
    int exitCode = -1;
    QByteArray output;       // stdout and stderr, the first outputLimit bytes
    qint64 outputBytes = 0;  // all that came, kept or not
    QString error;           // why it did not start or did not end well; empty when it ran and exited 0
};

class AlarmCommandRunner {
public:
    explicit AlarmCommandRunner(std::chrono::milliseconds timeout = std::chrono::seconds(10),
                                qint64 outputLimit = 16 * 1024, int maxRunning = 4);
    ~AlarmCommandRunner();  // kills what still runs
    AlarmCommandRunner(const AlarmCommandRunner&) = delete;
    AlarmCommandRunner& operator=(const AlarmCommandRunner&) = delete;

    // done is called once, from the event loop, when the command has ended,
    // failed to start, or was refused because maxRunning commands still run.
    void run(const std::vector<std::string>& argv, const CommandReading& reading,
             std::function<void(const CommandOutcome&)> done);

    int running() const { return running_; }

private:
    struct Job;
    std::chrono::milliseconds timeout_;
    qint64 outputLimit_;
    int maxRunning_;
    int running_ = 0;
    std::vector<std::shared_ptr<Job>> jobs_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // callbacks queued after our end see it gone
};

}  // namespace meterlink
