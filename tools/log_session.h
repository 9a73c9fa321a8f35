#pragma once
// A log kept without a window: the meter's bytes (or frames already cut from
// the USB cable's reports) go through the same assembler, decoder and judge
// as in the window, and become rows by the window's logging rules, frame by
// frame or on the ticks of a sampling timer. There is no chart, so no chart
// points are kept. Qt Core only.

#include "protocol/frameless_bytes_watch.h"
#include "protocol/meter_frame.h"
#include "protocol/reading_pipeline.h"
#include "recording/record_logger.h"
#include "recording/record_table.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QObject>
#include <QTimer>

#include <cstddef>
#include <cstdint>
#include <string>

namespace meterlink {

class LogSession : public QObject {
    Q_OBJECT
public:
    struct Rules {
        std::string highLimit = "6000";
        std::string lowLimit = "-6000";
        std::int32_t recordLimit = RecordLogger::kDefaultRecordLimit;
        int intervalSeconds = 0;   // 0: every decoded frame is offered
        bool repeat = true;        // false: a reading equal to the last logged one is skipped
        const MeterModel* meter = nullptr;   // the meter read; nullptr: the shipped one
        int confirmFrames = 1;   // a reading is logged once this many frames in a row agree
    };

    // Separators, times and verdict parsing follow locale, as the window's
    // follow the user's.
    LogSession(const Rules& rules, std::int32_t fullCount, const QLocale& locale = QLocale(),
               RecordLogger::Clock clock = RecordLogger::Clock(), QObject* parent = nullptr);

    // The meter's serial bytes, cut anywhere.
    void feed(const std::uint8_t* bytes, std::size_t size) {
        if (closed_) return;
        meterBytesArrived(size);
        pipeline_.feed(bytes, size);
    }
    // Meter bytes whose frames reach feedFrame (the USB cable's own framing).
    void meterBytesArrived(std::size_t size);
    // One frame of the right shape.
    void feedFrame(const MeterFrame& frame) {
        if (!closed_) pipeline_.feedFrame(frame);
    }
    // Takes no more readings: what is logged is what gets saved.
    void close();
    // Empties the table of rows already handed on; numbering and the repeat
    // rule go on as before.
    void forgetRows() { table_.clear(); }

    // A tick of the sampling timer (public so it can be driven without waiting).
    void Timer3Timer();
    const QTimer& samplingTimer() const { return Timer3_; }

    const RecordTable& table() const { return table_; }
    const RecordLogger& logger() const { return logger_; }
    RecordLogger& logger() { return logger_; }
    const MeterReading& reading() const { return pipeline_.reading(); }
    std::size_t framesDecoded() const { return pipeline_.decodedCount(); }
    // Frames cut from the bytes that failed the shape test or held a bad digit.
    std::size_t framesRejected() const { return pipeline_.rejectedCount(); }
    // Bytes came from the meter and not one formed a frame.
    bool bytesButNoFrame() const { return frameless_.bytesButNoFrame(); }

signals:
    // A frame was decoded and judged (logged or not).
    void readingDecoded();
    // Row `row` of table() was just logged.
    void rowLogged(int row);
    // The record limit was reached: nothing more will be logged.
    void full();
    // Bytes have come for five seconds without a frame (told once a stretch).
    void framelessBytes();

private:
    void frameDecoded();
    void appended();

    ReadingPipeline pipeline_;
    RecordTable table_;
    RecordLogger logger_;
    QTimer Timer3_;
    FramelessBytesWatch frameless_;
    QElapsedTimer framelessClock_;
    bool closed_ = false;
};

}  // namespace meterlink
