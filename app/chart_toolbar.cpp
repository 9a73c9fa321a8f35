#include "chart_toolbar.h"

#include "digit_key_filter.h"
#include "last_folder.h"
#include "meter_chart.h"
#include "recording/chart_pager.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QSignalBlocker>
#include <QMouseEvent>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

namespace {

QToolButton* makeButton(const QString& name, QStyle::StandardPixmap picture, const QString& hint, const QRect& place,
                        QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(parent->style()->standardIcon(picture));
    b->setIconSize({15, 15});
    b->setToolTip(hint);
    b->setGeometry(place);
    return b;
}

QLabel* makePicture(const QString& name, QStyle::StandardPixmap picture, const QString& hint, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(parent->style()->standardIcon(picture).pixmap(21, 21));
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(hint);
    label->setGeometry(320, 12, 25, 25);
    label->setCursor(Qt::PointingHandCursor);
    label->installEventFilter(parent);
    return label;
}

}  // namespace

ChartToolbar::ChartToolbar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("ChartToolbar"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    resize(353, 41);

    auto* bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(10, 12, 40, 20);
    BtFill_ = new QCheckBox(QStringLiteral("Fill"), this);
    BtFill_->setObjectName(QStringLiteral("BtFill"));
    BtFill_->setToolTip(QStringLiteral("Graphic Fill"));
    BtFill_->setChecked(true);
    BtFill_->setGeometry(13, 12, 36, 17);
    BtFill_->setStyleSheet(QStringLiteral("QCheckBox { spacing: 3px; }"));   // keeps "Fill" off the bevel

    Maxrecord_ = new QLineEdit(QStringLiteral("100"), this);
    Maxrecord_->setObjectName(QStringLiteral("Maxrecord"));
    Maxrecord_->setGeometry(64, 12, 44, 21);   // narrowed to make room for the analysis button
    Maxrecord_->installEventFilter(new DigitKeyFilter(Maxrecord_));

    BtAnalysis_ = makeButton(QStringLiteral("BtAnalysis"), QStyle::SP_FileDialogContentsView,
                             QStringLiteral("Analysis"), {109, 12, 23, 21}, this);
    BtSave_ = makeButton(QStringLiteral("BtSave"), QStyle::SP_DialogSaveButton, QStringLiteral("Save"),
                         {133, 12, 35, 21}, this);
    BtFirst_ = makeButton(QStringLiteral("BtFirst"), QStyle::SP_MediaSkipBackward, QStringLiteral("First"),
                          {168, 12, 28, 21}, this);
    BTPrevious_ = makeButton(QStringLiteral("BTPrevious"), QStyle::SP_MediaSeekBackward, QStringLiteral("Previous"),
                             {195, 12, 25, 21}, this);

    Bt10_ = new QPushButton(QStringLiteral("1"), this);
    Bt10_->setObjectName(QStringLiteral("Bt10"));
    Bt10_->setToolTip(QStringLiteral("Page No."));
    Bt10_->setFocusPolicy(Qt::NoFocus);
    QPalette pal = Bt10_->palette();
    pal.setColor(QPalette::ButtonText, Qt::blue);
    Bt10_->setPalette(pal);
    Bt10_->setGeometry(219, 12, 46, 21);

    BtNext_ = makeButton(QStringLiteral("BtNext"), QStyle::SP_MediaSeekForward, QStringLiteral("Next"),
                         {267, 12, 25, 21}, this);
    BTlast_ = makeButton(QStringLiteral("BTlast"), QStyle::SP_MediaSkipForward, QStringLiteral("last"),
                         {291, 12, 25, 21}, this);

    TbFd_ = makePicture(QStringLiteral("TbFd"), QStyle::SP_TitleBarMaxButton, QStringLiteral("Graphic Enlarge"), this);
    TbSx_ = makePicture(QStringLiteral("TbSx"), QStyle::SP_TitleBarNormalButton, QStringLiteral("Graphic Restore"), this);
    TbSx_->hide();

    // Applies the page size a second after the last change of its edit; it
    // runs from the start, so it fires once with the design value.
    Timer2_ = new QTimer(this);
    Timer2_->setObjectName(QStringLiteral("Timer2"));
    Timer2_->setInterval(1000);
    Timer2_->start();

    Graphic_ = new QMenu(QStringLiteral("Graphic"), this);
    Graphic_->setObjectName(QStringLiteral("Graphic"));
    Graphic_->addAction(QStringLiteral("First"), this, &ChartToolbar::BtFirstClick);
    Graphic_->addAction(QStringLiteral("Previous"), this, &ChartToolbar::BTPreviousClick);
    Graphic_->addAction(QStringLiteral("Next"), this, &ChartToolbar::BtNextClick);
    Graphic_->addAction(QStringLiteral("Last"), this, &ChartToolbar::BTlastClick);
    Graphic_->addAction(QStringLiteral("New"), this, &ChartToolbar::BtNewClick);
    Graphic_->addAction(QStringLiteral("Save"), this, &ChartToolbar::BtSaveClick);
    FillItem_ = Graphic_->addAction(QStringLiteral("Fill"), this, &ChartToolbar::FillClick);
    FillItem_->setCheckable(true);
    FillItem_->setChecked(true);
}

void ChartToolbar::attach(meterlink::TChartControl* pager, MeterChart* chart) {
    pager_ = pager;
    chart_ = chart;
    connect(BtFill_, &QCheckBox::clicked, this, &ChartToolbar::btFillClick);
    connect(BtFirst_, &QToolButton::clicked, this, &ChartToolbar::BtFirstClick);
    connect(BTPrevious_, &QToolButton::clicked, this, &ChartToolbar::BTPreviousClick);
    connect(BtNext_, &QToolButton::clicked, this, &ChartToolbar::BtNextClick);
    connect(BTlast_, &QToolButton::clicked, this, &ChartToolbar::BTlastClick);
    connect(BtSave_, &QToolButton::clicked, this, &ChartToolbar::BtSaveClick);
    connect(Maxrecord_, &QLineEdit::textChanged, this, &ChartToolbar::MaxrecordChange);
    connect(Timer2_, &QTimer::timeout, this, &ChartToolbar::Timer2Timer);
    connect(chart_->ComboBox1(), &QComboBox::currentIndexChanged, this, &ChartToolbar::ComboBox1Change);
}

bool ChartToolbar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == TbFd_) emit enlargeClicked();
        else if (watched == TbSx_) emit restoreClicked();
    }
    return QFrame::eventFilter(watched, event);
}

void ChartToolbar::showPageNumber() { Bt10_->setText(QString::number(pager_->FCurrentPage())); }

void ChartToolbar::showChosenSeries() { chart_->showSeries(BtFill_->isChecked() ? 0 : 1); }

void ChartToolbar::btFillClick() {
    FillItem_->setChecked(BtFill_->isChecked());
    showChosenSeries();
}

void ChartToolbar::FillClick() {
    const bool fill = !BtFill_->isChecked();
    BtFill_->setChecked(fill);
    FillItem_->setChecked(fill);
    showChosenSeries();
}

void ChartToolbar::ComboBox1Change(int index) {
    if (index >= 0) chart_->showSeries(index);
}

void ChartToolbar::BtFirstClick() {
    pager_->First();
    showPageNumber();
}

void ChartToolbar::BTPreviousClick() {
    pager_->Previous();
    showPageNumber();
}

void ChartToolbar::BtNextClick() {
    pager_->Next();
    showPageNumber();
}

void ChartToolbar::BTlastClick() {
    pager_->Last();
    showPageNumber();
}

QString ChartToolbar::pageSizeRefusedText() {
    return QStringLiteral("The page size must be a whole number from 1 to %1.").arg(kMostPageSize);
}

void ChartToolbar::MaxrecordChange() { Timer2_->start(); }

void ChartToolbar::Timer2Timer() {
    Timer2_->stop();
    bool ok = false;
    const int pageSize = Maxrecord_->text().toInt(&ok);
    if (!ok || pageSize < 1 || pageSize > kMostPageSize) {
        // The page arithmetic divides by the page size, and the chart cannot
        // draw a larger page legibly: the old one stays.
        QMessageBox::critical(window(), QStringLiteral("Error"), pageSizeRefusedText());
        // The edit shows the page size that stays, not the refused text.
        const QSignalBlocker quiet(Maxrecord_);
        Maxrecord_->setText(QString::number(pager_->FPageSize()));
        return;
    }
    pager_->SetPageSize(pageSize);
    showPageNumber();
}

void ChartToolbar::BtSaveClick() {
    QFileDialog dialog(window());
    dialog.setObjectName(QStringLiteral("SavePictureDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Bitmaps (*.bmp)"));
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    last_folder::applyTo(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    last_folder::remember(path);

    QSaveFile file(path);
    QImageWriter writer(&file, "bmp");
    if (!file.open(QIODevice::WriteOnly) || !writer.write(chart_->picture()) || !file.commit()) {
        QMessageBox::critical(window(), QStringLiteral("Error"),
                              QStringLiteral("Could not save graphic to specified file: ") + path);
        return;
    }
    QMessageBox::information(window(), QStringLiteral("Information"),
                             QStringLiteral("Graphic has saved on %1").arg(path));
}

void ChartToolbar::BtNewClick() {
    pager_->resetToPlaceholder();
    chart_->ComboBox1()->setCurrentIndex(0);
    chart_->showSeries(0);
    showChosenSeries();
}
