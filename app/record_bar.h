#pragma once
// The record bar under the LCD: the "Repeat" and sampling-interval switches
// with the interval edit, and the buttons that close, open, save and print
// the log. Only its look is built here; logging drives it.

#include <QFrame>

class QCheckBox;
class QLineEdit;
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

private:
    QCheckBox* RepeatSet_ = nullptr;
    QCheckBox* RecordSI_ = nullptr;
    QLineEdit* RecordSITime_ = nullptr;
    QToolButton* RecordNew_ = nullptr;
    QToolButton* OpenDataFiles_ = nullptr;
    QToolButton* saveas_ = nullptr;
    QToolButton* BtPrint_ = nullptr;
};
