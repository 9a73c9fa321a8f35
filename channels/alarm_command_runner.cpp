#include "channels/alarm_command_runner.h"

#include "channels/alarm.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace meterlink {

struct AlarmCommandRunner::Job {
    QProcess process;
    QTimer timer;
    CommandOutcome outcome;
    std::function<void(const CommandOutcome&)> done;
    bool finished = false;
};

AlarmCommandRunner::AlarmCommandRunner(std::chrono::milliseconds timeout, qint64 outputLimit, int maxRunning)
    : timeout_(timeout), outputLimit_(outputLimit), maxRunning_(maxRunning) {}

AlarmCommandRunner::~AlarmCommandRunner() {
    for (auto& job : jobs_) {
        job->finished = true;  // no callbacks into an owner that is going away
        job->process.disconnect();
        job->process.kill();
        job->process.waitForFinished(1000);
    }
}

void AlarmCommandRunner::run(const std::vector<std::string>& argv, const CommandReading& reading,
                             std::function<void(const CommandOutcome&)> done) {
    auto job = std::make_shared<Job>();
    for (const auto& a : argv) job->outcome.argv << QString::fromStdString(a);
    job->done = std::move(done);

    auto finish = [this, weak = std::weak_ptr<Job>(job)]() {
        auto j = weak.lock();
        if (!j || j->finished) return;
        j->finished = true;
        j->timer.stop();
        --running_;
        // Called from the event loop; the job is released after the callback.
        QTimer::singleShot(0, [this, j, alive = std::weak_ptr<int>(alive_)]() {
            if (alive.expired()) return;
            if (j->done) j->done(j->outcome);
            jobs_.erase(std::remove(jobs_.begin(), jobs_.end(), j), jobs_.end());
        });
    };

    if (job->outcome.argv.isEmpty() || running_ >= maxRunning_) {
        job->outcome.error = job->outcome.argv.isEmpty()
                                 ? QStringLiteral("No command")
                                 : QStringLiteral("Not run: %1 alarm commands still running").arg(running_);
        auto j = job;
        QTimer::singleShot(0, [j, alive = std::weak_ptr<int>(alive_)]() {
            if (alive.expired()) return;
            if (j->done) j->done(j->outcome);
        });
        return;
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("METERLINK_CHANNEL"), reading.channel);
    env.insert(QStringLiteral("METERLINK_VALUE"),
               reading.hasValue ? QString::number(reading.value, 'g', 12) : QString());
    env.insert(QStringLiteral("METERLINK_UNIT"), reading.unit);
    env.insert(QStringLiteral("METERLINK_TIME"), reading.time.toString(Qt::ISODateWithMs));
    env.insert(QStringLiteral("METERLINK_ALARM"), reading.alarm);
    job->process.setProcessEnvironment(env);
    job->process.setProcessChannelMode(QProcess::MergedChannels);
    job->process.setStandardInputFile(QProcess::nullDevice());

    Job* raw = job.get();
    QObject::connect(&raw->process, &QProcess::readyRead, [this, raw]() {
        QByteArray chunk = raw->process.readAll();
        raw->outcome.outputBytes += chunk.size();
        qint64 room = outputLimit_ - raw->outcome.output.size();
        if (room > 0) raw->outcome.output.append(chunk.left(room));
    });
    QObject::connect(&raw->process, &QProcess::finished, [raw, finish](int code, QProcess::ExitStatus status) {
        raw->outcome.exitCode = code;
        raw->outcome.crashed = status == QProcess::CrashExit;
        if (raw->outcome.timedOut)
            raw->outcome.error = QStringLiteral("Killed after the timeout");
        else if (raw->outcome.crashed)
            raw->outcome.error = QStringLiteral("Ended by a signal");
        else if (code != 0)
            raw->outcome.error = QStringLiteral("Exit code %1").arg(code);
        finish();
    });
    QObject::connect(&raw->process, &QProcess::errorOccurred, [raw, finish](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        raw->outcome.started = false;
        raw->outcome.error = QStringLiteral("Could not start %1: %2")
                                 .arg(raw->outcome.argv.value(0), raw->process.errorString());
        finish();
    });
    raw->timer.setSingleShot(true);
    QObject::connect(&raw->timer, &QTimer::timeout, [raw]() {
        raw->outcome.timedOut = true;
        raw->process.kill();
    });

    jobs_.push_back(job);
    ++running_;
    raw->outcome.started = true;
    raw->timer.start(timeout_);
    raw->process.start(raw->outcome.argv.first(), raw->outcome.argv.mid(1), QIODevice::ReadOnly);
}

CommandReading commandReadingOf(const AlarmEvent& event, const QString& alarm) {
    CommandReading r;
    r.channel = QString::fromStdString(event.channel);
    r.hasValue = event.hasValue && std::isfinite(event.value);
    r.value = event.value;
    r.unit = QString::fromStdString(event.unit);
    r.time = QDateTime::currentDateTimeUtc();
    r.alarm = alarm;
    return r;
}

}  // namespace meterlink
