#pragma once
// The key filter of the sampling-interval and page-size edits: only the
// digits 0 to 9 and backspace go in. Keys that type nothing (arrows, Delete,
// shortcuts) pass; what they leave is checked when the value is applied.

#include <QObject>

class DigitKeyFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    static bool accepts(QChar key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
