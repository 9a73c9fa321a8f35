#include "limit_panel.h"

#include "protocol/limit_value.h"

#include "circle_shape.h"
#include "design_font.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QTimer>

namespace {

QFont arial(int pixelSize, bool bold) { return designFont(QStringLiteral("Arial"), pixelSize, bold); }

QColor infoTipColor() { return QApplication::palette().color(QPalette::ToolTipBase); }

QLabel* makeCaption(const QString& text, QPoint at, QWidget* parent, const QString& name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(arial(11, true));
    label->move(at);
    label->adjustSize();
    return label;
}

QLineEdit* makeEdit(const QString& text, const QRect& place, const QFont& font, QWidget* parent, const QString& name) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    edit->setFont(font);
    edit->setGeometry(place);
    return edit;
}

void setBackground(QWidget* w, QPalette::ColorRole role, const QColor& color) {
    QPalette pal = w->palette();
    pal.setColor(role, color);
    w->setPalette(pal);
}

std::string utf8(const QString& s) { return s.toStdString(); }

}  // namespace

LimitPanel::LimitPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel4"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(3);
    setAutoFillBackground(true);
    setBackground(this, QPalette::Window, Qt::white);
    resize(351, 116);

    const QString hint = QStringLiteral("Please enter a number here.");
    makeCaption(QStringLiteral("Set High Limit:"), {16, 16}, this, QStringLiteral("T1_HI"));
    T1HI_ = makeEdit(QStringLiteral("6000"), {113, 12, 57, 22}, arial(11, true), this, QStringLiteral("T1HI"));
    T1HI_->setToolTip(hint);
    makeCaption(QStringLiteral("Measure Value:"), {16, 52}, this, QStringLiteral("T1_Value"));
    T1VALUE_ = makeEdit(QStringLiteral("0"), {112, 43, 81, 32}, arial(21, true), this, QStringLiteral("T1VALUE"));
    setBackground(T1VALUE_, QPalette::Base, infoTipColor());
    // It shows the reading; what is typed there would only be overwritten.
    T1VALUE_->setReadOnly(true);
    makeCaption(QStringLiteral("Set Low Limit:"), {16, 84}, this, QStringLiteral("T1_LO"));
    T1LO_ = makeEdit(QStringLiteral("-6000"), {112, 84, 57, 22}, arial(11, true), this, QStringLiteral("T1LO"));
    T1LO_->setToolTip(hint);

    Shape1_ = new CircleShape(this);
    Shape1_->setObjectName(QStringLiteral("Shape1"));
    Shape1_->setGeometry(192, 8, 113, 97);
    Shape1_->setBrushColor(infoTipColor());

    judge_ = new QLabel(this);
    judge_->setObjectName(QStringLiteral("judge"));
    QFont judgeFont = windowFont();
    judgeFont.setPixelSize(24);
    judge_->setFont(judgeFont);
    judge_->setAutoFillBackground(true);
    setBackground(judge_, QPalette::Window, infoTipColor());
    judge_->move(216, 40);
    judge_->adjustSize();
    judge_->raise();

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setInterval(500);
    Timer4_ = new QTimer(this);
    Timer4_->setObjectName(QStringLiteral("Timer4"));
    Timer4_->setInterval(500);
    connect(Timer1_, &QTimer::timeout, this, &LimitPanel::Timer1Timer);
    connect(Timer4_, &QTimer::timeout, this, &LimitPanel::Timer4Timer);
    connect(T1HI_, &QLineEdit::textChanged, this, &LimitPanel::T1HIChange);
    connect(T1LO_, &QLineEdit::textChanged, this, &LimitPanel::T1LOChange);
    T1HI_->installEventFilter(this);
    T1LO_->installEventFilter(this);
}

void LimitPanel::setSeparators(const QString& systemSep, const QString& userSep, const QString& numberSep) {
    systemSep_ = systemSep;
    userSep_ = userSep;
    numberSep_ = numberSep;
}

void LimitPanel::fixSeparators() {
    for (QLineEdit* edit : {T1HI_, T1LO_}) {
        std::string text = utf8(edit->text());
        if (meterlink::fixSeparator(text, utf8(userSep_)))
            edit->setText(QString::fromStdString(text));
    }
}

meterlink::SiLimits LimitPanel::limitsInSi(const std::string& unitText) const {
    const std::string sep = utf8(numberSep_);
    return meterlink::limitsInSi(meterlink::parseLimit(utf8(T1HI_->text()), sep),
                                 meterlink::parseLimit(utf8(T1LO_->text()), sep), unitText);
}

meterlink::Verdict LimitPanel::judgeReading(const QString& valueText, const std::string& unitText) {
    if (T1VALUE_->text() != valueText)   // spares a repaint for a steady reading
        T1VALUE_->setText(valueText);
    const meterlink::Verdict verdict =
        meterlink::judgeWithUnits(utf8(valueText), unitText, utf8(T1HI_->text()), utf8(T1LO_->text()), utf8(numberSep_));
    showVerdict(verdict);
    return verdict;
}

void LimitPanel::showVerdict(meterlink::Verdict verdict) {
    const QString caption = QString::fromLatin1(meterlink::judgeCaption(verdict));
    // The caption and the three colours always change together.
    if (verdict == meterlink::Verdict::Unchanged || judge_->text() == caption)
        return;
    const QColor color = verdict == meterlink::Verdict::Pass ? passColor() : failColor();
    setBackground(T1VALUE_, QPalette::Base, color);
    Shape1_->setBrushColor(color);
    setBackground(judge_, QPalette::Window, color);
    judge_->setText(caption);
    judge_->adjustSize();
}

void LimitPanel::T1HIKeyPress(const QLineEdit* sender, QString& key) const {
    key = QString::fromStdString(
        meterlink::limitKeyText(utf8(sender->text()), utf8(key), utf8(systemSep_), utf8(userSep_)));
}

bool LimitPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == T1HI_ || watched == T1LO_)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Only characters are filtered. Keys without text (arrows, Delete) and
        // control chords (copy, paste, undo) are editing commands; what they
        // leave in the edit is checked by the validation timer.
        const bool command = text.isEmpty() || (text.size() == 1 && text[0] != QLatin1Char('\b') &&
                                                text[0].category() == QChar::Other_Control);
        if (!command) {
            auto* edit = static_cast<QLineEdit*>(watched);
            QString inserted = text;
            T1HIKeyPress(edit, inserted);
            if (inserted.isEmpty())
                return true;
            if (inserted != text) {
                edit->insert(inserted);   // the typed mark, as the user's separator
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

void LimitPanel::paintEvent(QPaintEvent* event) {
    // The value, the verdict and the link pictures change inside the bevel;
    // it needs drawing only when the repaint reaches it.
    if (!contentsRect().contains(event->rect()))
        QFrame::paintEvent(event);
}

void LimitPanel::T1HIChange() { Timer1_->start(); }
void LimitPanel::T1LOChange() { Timer4_->start(); }
void LimitPanel::Timer1Timer() { validate(T1HI_, GoodHighText_, Timer1_); }
void LimitPanel::Timer4Timer() { validate(T1LO_, GoodLowText_, Timer4_); }

void LimitPanel::validate(QLineEdit* edit, QString& goodText, QTimer* timer) {
    std::string text = utf8(edit->text());
    std::string good = utf8(goodText);
    if (meterlink::validateLimit(text, good, utf8(numberSep_)))
        edit->setText(QString::fromStdString(text));
    goodText = QString::fromStdString(good);
    timer->stop();
}
