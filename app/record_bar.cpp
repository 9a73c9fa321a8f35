#include "record_bar.h"

#include "design_font.h"
#include "digit_key_filter.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <limits>

namespace {

QFont arial11() { return designFont(QStringLiteral("Arial"), 11); }

QCheckBox* makeCheck(const QString& name, const QString& caption, const QRect& place, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setFont(arial11());
    QPalette pal = box->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    box->setPalette(pal);
    box->setGeometry(place);
    return box;
}

QToolButton* makeButton(const QString& name, const QIcon& icon, const QString& hint, const QRect& place,
                        QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(icon);
    b->setIconSize({15, 15});
    b->setToolTip(hint);
    b->setGeometry(place);
    return b;
}

}  // namespace

RecordBar::RecordBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel2"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    resize(305, 41);

    RepeatSet_ = makeCheck(QStringLiteral("RepeatSet"), QStringLiteral("Repeat"), {3, 13, 54, 20}, this);
    RepeatSet_->setToolTip(QStringLiteral("Repeage Record"));
    RepeatSet_->setStyleSheet(QStringLiteral("QCheckBox { spacing: 2px; }"));   // the caption fills the box
    RepeatSet_->setChecked(true);
    // The interval edit lies over the blanks of this caption.
    RecordSI_ = makeCheck(QStringLiteral("RecordSI"), QStringLiteral("Sampling Interval           'S"),
                          {60, 13, 148, 20}, this);
    RecordSI_->setStyleSheet(QStringLiteral("QCheckBox { spacing: 2px; }"));   // keeps "'S" inside the box
    RecordSITime_ = new QLineEdit(QStringLiteral("1"), this);
    RecordSITime_->setObjectName(QStringLiteral("RecordSITime"));
    RecordSITime_->setFont(arial11());
    RecordSITime_->setGeometry(165, 12, 27, 21);
    RecordSITime_->installEventFilter(new DigitKeyFilter(RecordSITime_));
    connect(RecordSITime_, &QLineEdit::textChanged, this, &RecordBar::RecordSITimeChange);

    livedata_ = new QCheckBox(QStringLiteral("Log Data Mode Eable"), this);
    livedata_->setObjectName(QStringLiteral("livedata"));
    livedata_->setChecked(true);
    livedata_->hide();

    Timer3_ = new QTimer(this);
    Timer3_->setObjectName(QStringLiteral("Timer3"));
    Timer3_->setInterval(1000);

    QStyle* s = style();
    RecordNew_ = makeButton(QStringLiteral("RecordNew"), s->standardIcon(QStyle::SP_DialogDiscardButton),
                            QStringLiteral("Close Data"), {209, 13, 23, 21}, this);
    OpenDataFiles_ = makeButton(QStringLiteral("OpenDataFiles"), s->standardIcon(QStyle::SP_DialogOpenButton),
                                QStringLiteral("Open old data files"), {231, 12, 23, 21}, this);
    saveas_ = makeButton(QStringLiteral("saveas"), s->standardIcon(QStyle::SP_DialogSaveButton),
                         QStringLiteral("Save data files"), {253, 12, 23, 21}, this);
    BtPrint_ = makeButton(QStringLiteral("BtPrint"),
                          QIcon::fromTheme(QStringLiteral("document-print"),
                                           s->standardIcon(QStyle::SP_FileDialogContentsView)),
                          QStringLiteral("Print"), {275, 12, 22, 21}, this);
}

bool RecordBar::RecordSITimeKeyPress(QChar key) { return DigitKeyFilter::accepts(key); }

void RecordBar::RecordSITimeChange() {
    bool ok = false;
    int seconds = RecordSITime_->text().toInt(&ok);
    // Pasted text can hold what no key would let in: negative or too many
    // milliseconds for a timer count as not a number.
    if (!ok || seconds < 0 || seconds > std::numeric_limits<int>::max() / 1000) return;
    if (seconds == 0) {
        seconds = 1;
        const QSignalBlocker quiet(RecordSITime_);
        RecordSITime_->setText(QStringLiteral("1"));
    }
    Timer3_->setInterval(seconds * 1000);
}

bool RecordBar::frameDecoded() {
    if (RecordSI_->isChecked()) {
        if (!Timer3_->isActive()) Timer3_->start();
        return false;
    }
    Timer3_->stop();
    return true;
}
