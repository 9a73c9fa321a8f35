#pragma once
// The record bar under the LCD: the "Repeat" and sampling-interval switches
// with the interval edit and its timer, and the buttons that close, open,
// save and print the log. The logging rules themselves are RecordLogger's.

#include <QFrame>

class QCheckBox;
class QLineEdit;
class QTimer;
class QToolButton;

class RecordBar : public QFrame {
    Q_OBJECT
public:
    explicit RecordBar(QWidget* parent = nullptr);

    QCheckBox* RepeatSet() const { return RepeatSet_; }
    QCheckBox* RecordSI() const { return RecordSI_; }
    QLineEdit* RecordSITime() const { return RecordSITime_; }
    QToolButton* RecordNew() const { return RecordNew_; }
    QToolButton* OpenDataFiles() const { return OpenDataFiles_; }
    QToolButton* saveas() const { return saveas_; }
    QToolButton* BtPrint() const { return BtPrint_; }
    // Hidden; timed logging happens only while it is ticked, and nothing clears it.
    QCheckBox* livedata() const { return livedata_; }
    // The sampling timer: its interval is the sampling interval.
    QTimer* Timer3() const { return Timer3_; }

    // The interval edit changed: a whole number of seconds sets Timer3's
    // interval (0 becomes 1); anything else leaves it as it was.
    void RecordSITimeChange();
    // Key filter of the interval edit (and of the chart's page-size edit).
    static bool RecordSITimeKeyPress(QChar key);

    // Every decoded frame: with "Sampling Interval" ticked the sampling timer
    // runs (a running one keeps its period) and false is returned; otherwise
    // the timer stops and true says the frame is to be logged at once.
    bool frameDecoded();

private:
    QCheckBox* RepeatSet_ = nullptr;
    QCheckBox* RecordSI_ = nullptr;
    QLineEdit* RecordSITime_ = nullptr;
    QToolButton* RecordNew_ = nullptr;
    QToolButton* OpenDataFiles_ = nullptr;
    QToolButton* saveas_ = nullptr;
    QToolButton* BtPrint_ = nullptr;
    QCheckBox* livedata_ = nullptr;
    QTimer* Timer3_ = nullptr;
};
