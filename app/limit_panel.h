#pragma once
// The limit panel: high and low limit edits guarded by a key filter and a
// delayed validation, the measured value, and the Pass/Fail lamp that judges
// each reading against the limits.

#include "protocol/limit_judge.h"
#include "protocol/limit_value.h"

#include <QColor>
#include <QFrame>
#include <QString>

#include <string>

class CircleShape;
class QLabel;
class QLineEdit;
class QTimer;

class LimitPanel : public QFrame {
    Q_OBJECT
public:
    explicit LimitPanel(QWidget* parent = nullptr);

    static QColor passColor() { return {0, 128, 0}; }
    static QColor failColor() { return {255, 0, 0}; }

    // systemSep: the system locale's separator (only the key filter reads it);
    // userSep: the user's separator text that typed and fixed-up limits use;
    // numberSep: the separator of the format that limits and values are parsed with.
    void setSeparators(const QString& systemSep, const QString& userSep, const QString& numberSep);

    // Per frame, before the judge: a limit typed with the other separator is
    // rewritten to the user's (first occurrence only).
    void fixSeparators();
    // Per frame: shows the value and judges it. Unchanged (a limit is not a
    // number) leaves the lamp, the caption and the colours as they were.
    // unitText as the decoder makes it ("mV", "k*"); it counts when a limit has a unit.
    // The limits as they judge a reading shown in unitText, in SI units.
    meterlink::SiLimits limitsInSi(const std::string& unitText) const;
    meterlink::Verdict judgeReading(const QString& valueText, const std::string& unitText = {});

    QLineEdit* T1HI() const { return T1HI_; }
    QLineEdit* T1LO() const { return T1LO_; }
    QLineEdit* T1VALUE() const { return T1VALUE_; }
    QLabel* judge() const { return judge_; }
    CircleShape* Shape1() const { return Shape1_; }
    QTimer* Timer1() const { return Timer1_; }
    QTimer* Timer4() const { return Timer4_; }
    const QString& GoodHighText() const { return GoodHighText_; }
    const QString& GoodLowText() const { return GoodLowText_; }

    // Key filter of both limit edits: key is the typed character; it comes
    // back as what goes into the edit (a typed "." or "," becomes the user's
    // decimal separator), or empty when refused.
    void T1HIKeyPress(const QLineEdit* sender, QString& key) const;
    void T1LOKeyPress(const QLineEdit* sender, QString& key) const { T1HIKeyPress(sender, key); }
    void T1HIChange();
    void T1LOChange();
    void Timer1Timer();
    void Timer4Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void validate(QLineEdit* edit, QString& goodText, QTimer* timer);
    void showVerdict(meterlink::Verdict verdict);

    QLineEdit* T1HI_ = nullptr;
    QLineEdit* T1LO_ = nullptr;
    QLineEdit* T1VALUE_ = nullptr;
    QLabel* judge_ = nullptr;
    CircleShape* Shape1_ = nullptr;
    QTimer* Timer1_ = nullptr;
    QTimer* Timer4_ = nullptr;
    QString GoodHighText_ = QStringLiteral("6000");
    QString GoodLowText_ = QStringLiteral("-6000");
    QString systemSep_ = QStringLiteral(".");
    QString userSep_ = QStringLiteral(".");
    QString numberSep_ = QStringLiteral(".");
};
