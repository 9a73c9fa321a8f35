#pragma once
// The "Record" menu: the record limit, chosen from six items of which the
// chosen one carries the check mark, and the hidden "New" and "Save" items;
// then recording to a file as rows are logged, and "Confirm readings".

#include <QObject>

#include <cstdint>

class QAction;
class QMenu;
class QMenuBar;

class RecordMenu : public QObject {
    Q_OBJECT
public:
    explicit RecordMenu(QMenuBar* bar);

    QMenu* Record1() const { return Record1_; }
    QAction* New1() const { return New1_; }
    QAction* Save1() const { return Save1_; }
    // "Analysis…": opens the analysis window.
    QAction* analysisItem() const { return analysis_; }
    // The six limit items, in menu order ("1000" .. "limitless").
    QAction* limitItem(int i) const;
    static int limitItemCount();
    static std::int32_t limitOf(int i);

    // A limit item was clicked: it takes the check mark, the others lose it.
    void chooseLimit(int i);

    // "Record to File…" and the item that stops the recording.
    QAction* RecordToFile1() const { return RecordToFile1_; }
    QAction* StopRecording1() const { return StopRecording1_; }

    // "Confirm readings": how many frames in a row must agree (1: off).
    QMenu* ConfirmReadings1() const { return ConfirmReadings1_; }
    QAction* confirmItem(int frames) const;
    static QList<int> confirmChoices();
    // Checks the item of `frames` (off when there is none) and says so.
    void chooseConfirm(int frames);

    // A bench of meters: another window, the recording of all windows on
    // one clock (checked while it runs), and its long and wide files.
    QAction* NewMeterWindow1() const { return NewMeterWindow1_; }
    QAction* BenchRecording1() const { return BenchRecording1_; }
    QAction* SaveBench1() const { return SaveBench1_; }
    // The bench's channels window: calculated channels, alarms, SCPI server.
    QAction* BenchChannels1() const { return BenchChannels1_; }

signals:
    void limitChosen(std::int32_t limit);
    void confirmChosen(int frames);

private:
    QMenu* Record1_ = nullptr;
    QAction* New1_ = nullptr;
    QAction* Save1_ = nullptr;
    QAction* analysis_ = nullptr;
    QList<QAction*> limits_;
    QAction* RecordToFile1_ = nullptr;
    QAction* StopRecording1_ = nullptr;
    QMenu* ConfirmReadings1_ = nullptr;
    QList<QAction*> confirms_;
    QAction* NewMeterWindow1_ = nullptr;
    QAction* BenchRecording1_ = nullptr;
    QAction* SaveBench1_ = nullptr;
    QAction* BenchChannels1_ = nullptr;
};
