#include "log_session.h"

#include "recording/text_data_file.h"

namespace meterlink {

namespace {

ReadingPipeline::Settings pipelineSettings(const LogSession::Rules& rules, std::int32_t fullCount,
                                           const QLocale& locale) {
    ReadingPipeline::Settings settings;
    settings.highLimit = rules.highLimit;
    settings.lowLimit = rules.lowLimit;
    // Rows go to text files and standard output as Latin-1.
    settings.decimalSep = textFileDecimalSeparator(locale.decimalPoint());
    settings.fullCount = fullCount;
    settings.meter = rules.meter;
    return settings;
}

}  // namespace

LogSession::LogSession(const Rules& rules, std::int32_t fullCount, const QLocale& locale, RecordLogger::Clock clock,
                       QObject* parent)
    : QObject(parent),
      pipeline_(pipelineSettings(rules, fullCount, locale), [this](const ReadingPipeline&) { frameDecoded(); }),
      logger_(table_, nullptr, TimeTexts(locale), std::move(clock)) {
    logger_.repeat = rules.repeat;
    logger_.sampling = rules.intervalSeconds > 0;
    logger_.setRecordLimit(rules.recordLimit);
    logger_.setConfirmFrames(rules.confirmFrames);
    logger_.setAppendedHandler([this](const MeterReading&) { appended(); });
    Timer3_.setInterval(rules.intervalSeconds * 1000);
    connect(&Timer3_, &QTimer::timeout, this, &LogSession::Timer3Timer);
}

void LogSession::close() {
    closed_ = true;
    Timer3_.stop();
}

void LogSession::meterBytesArrived(std::size_t size) {
    if (!framelessClock_.isValid()) framelessClock_.start();
    if (frameless_.bytesArrived(size, framelessClock_.elapsed())) emit framelessBytes();
}

void LogSession::frameDecoded() {
    frameless_.frameDecoded();
    emit readingDecoded();
    // As the window's record bar: sampling keeps the timer running (a running
    // timer keeps its period, so the first tick comes one interval after the
    // first frame); otherwise the reading is offered at once.
    if (logger_.sampling) {
        if (!Timer3_.isActive()) Timer3_.start();
        logger_.frameWhileSampling(pipeline_.reading());
        return;
    }
    logger_.INDataToTable(pipeline_.reading());
}

void LogSession::Timer3Timer() {
    if (!closed_) logger_.Timer3Timer(pipeline_.mutableReading());
}

void LogSession::appended() {
    emit rowLogged(table_.rowCount() - 1);
    if (logger_.full()) {
        Timer3_.stop();
        emit full();
    }
}

}  // namespace meterlink
