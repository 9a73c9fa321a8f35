#pragma once
// The bench's own window: every channel of the bench (the meter windows'
// CH1, CH2, ... and calculated channels) with its value, limits and verdict;
// the entry of calculated channels and alarms; the alarms' messages, shown
// here without stopping anything; and the "SCPI server" switch.

#include <QWidget>

#include <optional>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

class BenchChannelsWindow : public QWidget {
    Q_OBJECT
public:
    explicit BenchChannelsWindow(QWidget* parent = nullptr);

    QTableWidget* channels() const { return channels_; }
    QLineEdit* calcEdit() const { return calcEdit_; }
    QPushButton* addCalc() const { return addCalc_; }
    QLineEdit* alarmEdit() const { return alarmEdit_; }
    QPushButton* addAlarm() const { return addAlarm_; }
    QListWidget* alarmList() const { return alarmList_; }
    QListWidget* messages() const { return messages_; }
    QCheckBox* scpiSwitch() const { return scpi_; }
    QLineEdit* scpiPort() const { return scpiPort_; }

    // A row of the channel table: name, value text, unit, limits, verdict.
    struct Row {
        QString name, value, unit, low, high, verdict;
        bool calculated = false;
    };
    void showRows(const QList<Row>& rows);
    // A line in the alarm messages, behind the time.
    void showMessage(const QString& text);

signals:
    // A calculated channel's limit was edited: its row among the calculated
    // channels, and the text (empty: none).
    void limitEdited(int calc, bool high, const QString& text);

private:
    QTableWidget* channels_ = nullptr;
    QLineEdit* calcEdit_ = nullptr;
    QPushButton* addCalc_ = nullptr;
    QLineEdit* alarmEdit_ = nullptr;
    QPushButton* addAlarm_ = nullptr;
    QListWidget* alarmList_ = nullptr;
    QListWidget* messages_ = nullptr;
    QCheckBox* scpi_ = nullptr;
    QLineEdit* scpiPort_ = nullptr;
    int meterRows_ = 0;
    bool filling_ = false;
};
