#pragma once
// The windows of a bench of meters: one window per meter, each with its own
// meter model, link, limits, log and journal, numbered by the order they
// were opened (window 1, 2, ...). It opens them ("New Meter Window", or a
// --meter/--port pair each on the command line), remembers each one's meter
// and port by its number for the next start, and records them together: a
// bench recording samples every window on one clock, so their rows carry
// the same instants, and Save Bench writes them as one long file and one
// wide CSV.

#include "bench_channels.h"

#include "channels/alarm_command_runner.h"
#include "recording/bench_rows.h"
#include "recording/full_time.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <map>
#include <memory>
#include <vector>

namespace meterlink {
struct MeterModel;
}

namespace meterlink {
class ScpiBoard;
class ScpiServer;
}

class BenchChannelsWindow;
class HidPlatform;
class TFCOMM;

class BenchWindows : public QObject {
    Q_OBJECT
public:
    // A window's meter and port; no meter: the shipped one; no port: the
    // window's own COM choice.
    struct Seat {
        const meterlink::MeterModel* meter = nullptr;
        QString port;
    };

    // hid: the HID devices the windows use (none: the system's).
    explicit BenchWindows(std::shared_ptr<HidPlatform> hid = nullptr, QObject* parent = nullptr);
    ~BenchWindows() override;

    // The seats that --meter MODEL --port PORT pairs ask for, in order (a
    // port before any --meter takes the first meter given). Empty when no
    // --port is given. An unknown model: empty, with why set.
    static std::vector<Seat> seatsFromArguments(const QStringList& arguments, QString& why);
    // What the windows held at the last end, by number.
    static std::vector<Seat> remembered();

    // Opens and shows the next window. connect: open the seat's port at once.
    TFCOMM* open(const Seat& seat, bool connect);
    int count() const { return static_cast<int>(windows_.size()); }
    TFCOMM* window(int i) const { return windows_.at(static_cast<std::size_t>(i)); }
    // Each window's meter and port, by number, for the next start.
    void remember() const;

    // The bench recording: every window sampled on one clock, at the first
    // window's sampling interval.
    bool recording() const { return recording_; }
    void setRecording(bool on);
    // The bench's rows: those of the running or last recording; before any,
    // every row of every window.
    std::vector<meterlink::BenchRow> rows() const;
    // Writes the long form to path (.jsonl: JSON lines, else CSV) and the
    // wide CSV beside it (NAME-wide.csv); false with why.
    bool save(const QString& path, QString& why) const;
    static QString widePathFor(const QString& path);

    // The calculated channels and alarms, and their window (made when first shown).
    BenchChannels& channels() { return channels_; }
    BenchChannelsWindow* showChannels();
    // One tick of the bench's clock, now (tests drive it without waiting).
    void tick();

signals:
    void recordingChanged(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void saveAsked(TFCOMM* from);
    void handle(const std::vector<meterlink::AlarmEvent>& events);
    void showChannelRows();
    void addCalcAsked();
    void addAlarmAsked();
    void switchScpi(bool on);
    void startClock();
    void showRecording();
    void closed(TFCOMM* window);

    std::shared_ptr<HidPlatform> hid_;
    std::vector<TFCOMM*> windows_;
    std::vector<int> firstRows_;        // per window: where the bench's rows start
    std::vector<bool> samplingBefore_;  // per window: its own sampling switch
    bool recording_ = false;
    bool recordedOnce_ = false;
    QTimer clock_;
    meterlink::FullTime instant_;
    BenchChannels channels_;
    // The calculated channels' samples at each recorded instant (UTC ms).
    std::map<std::int64_t, std::vector<meterlink::BenchSample>> calcRows_;
    std::unique_ptr<BenchChannelsWindow> panel_;
    std::unique_ptr<meterlink::ScpiBoard> scpiBoard_;
    std::unique_ptr<meterlink::ScpiServer> scpi_;
    meterlink::AlarmCommandRunner runner_;
    QElapsedTimer since_;
};
