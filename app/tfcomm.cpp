#include "tfcomm.h"

#include "chart_toolbar.h"
#include "connection_control.h"
#include "design_font.h"
#include "lcd_panel.h"
#include "limit_panel.h"
#include "link_indicator.h"
#include "meter_chart.h"
#include "record_bar.h"

#include <QCheckBox>
#include <QApplication>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QSysInfo>
#include <QTableView>
#include <QTimer>

#include <cmath>

namespace {

QFont arial(int pixelSize) { return designFont(QStringLiteral("Arial"), pixelSize); }

// QProgressBar repaints at once on a visible change; held back, the bar is
// painted with the rest of the frame's changes in one pass.
template <class Change>
void changeBarQuietly(QProgressBar* bar, Change change) {
    bar->setUpdatesEnabled(false);
    change();
    bar->setUpdatesEnabled(true);
}

}  // namespace

TFCOMM::TFCOMM(QWidget* parent)
    : QMainWindow(parent),
      assembler_([this](const meterlink::MeterFrame& frame) { LcdDisplayKR20C(frame); }) {
    setObjectName(QStringLiteral("FCOMM"));
    // Fixed size, no maximise box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QString::fromLatin1(meterlink::kDesignCaption));
    setFont(windowFont());

    // The serial line of the design: COM 1, 2400 baud, polled every 100 ms.
    COMM2_.setComPort(TSerialPortDriver::pnCOM1);
    COMM2_.setComPortSpeed(TSerialPortDriver::br2400);
    COMM2_.setComPortPollingDelay(100);

    buildLayout();
    buildMenus();
    FormCreate();

    ConTimer_ = new QTimer(this);
    ConTimer_->setObjectName(QStringLiteral("ConTimer"));
    ConTimer_->setInterval(100);
    connect(ConTimer_, &QTimer::timeout, this, &TFCOMM::ConTimerTimer);
    ConTimer_->start();
}

TFCOMM::~TFCOMM() {
    // The window takes the port with it.
    COMM2_.Disconnect();
}

void TFCOMM::buildLayout() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(663, 509);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Panel5_ = new QFrame(client);
    Panel5_->setObjectName(QStringLiteral("Panel5"));
    Panel5_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel5_->setAutoFillBackground(true);
    QPalette topPalette = Panel5_->palette();
    topPalette.setColor(QPalette::Window, topPalette.color(QPalette::Base));
    Panel5_->setPalette(topPalette);
    // Ends where the panels below end, not 4 px beyond them.
    Panel5_->setGeometry(0, 0, 659, 32);

    connection_ = new ConnectionControl(COMM2_, Panel5_);
    connect(connection_, &ConnectionControl::openFailed, this, &TFCOMM::showLinkError);
    connect(connection_, &ConnectionControl::portLost, this, &TFCOMM::showLinkError);
    connect(connection_->USBCon(), &QPushButton::clicked, this, &TFCOMM::USBConClick);

    BitBtn1_ = new QPushButton(QStringLiteral("Quit"), Panel5_);
    BitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1_->setFont(arial(13));
    QPalette quitPalette = BitBtn1_->palette();
    quitPalette.setColor(QPalette::ButtonText, Qt::black);
    BitBtn1_->setPalette(quitPalette);
    BitBtn1_->setGeometry(563, 3, 86, 25);
    connect(BitBtn1_, &QPushButton::clicked, this, &TFCOMM::BitBtn1Click);

    Panel1_ = new LcdPanel(client);
    Panel1_->setObjectName(QStringLiteral("Panel1"));
    Panel1_->setGeometry(5, 36, 302, 162);

    PBar2_ = new QProgressBar(client);
    PBar2_->setObjectName(QStringLiteral("PBar2"));
    PBar2_->setRange(0, 60);
    PBar2_->setValue(30);
    PBar2_->setTextVisible(false);
    PBar2_->setGeometry(5, 197, 302, 17);

    Panel2_ = new RecordBar(client);
    Panel2_->move(4, 216);

    buildRecordGrid(client);

    limits_ = new LimitPanel(client);
    limits_->move(308, 34);
    link_ = new LinkIndicator(limits_, {310, 13});

    ChartToolbar_ = new ChartToolbar(client);
    ChartToolbar_->move(306, 149);

    Chtshow_ = new MeterChart(client);
    Chtshow_->setGeometry(309, 189, 350, 316);

    // Holds the system locale's decimal separator for the limit key filter.
    systeminfomation_ = new QLineEdit(client);
    systeminfomation_->setObjectName(QStringLiteral("systeminfomation"));
    systeminfomation_->hide();
}

void TFCOMM::buildRecordGrid(QWidget* parent) {
    auto* model = new QStandardItemModel(0, 6, this);
    model->setObjectName(QStringLiteral("RecordTable"));
    const char* titles[] = {"No.", "Time", "Function", "Value", "Unit", "Judge"};
    for (int c = 0; c < 6; ++c)
        model->setHeaderData(c, Qt::Horizontal, QString::fromLatin1(titles[c]));

    DBGrid1_ = new QTableView(parent);
    DBGrid1_->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1_->setModel(model);
    DBGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1_->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1_->setFont(arial(12));
    QFont titleFont = windowFont();
    titleFont.setBold(false);
    DBGrid1_->horizontalHeader()->setFont(titleFont);
    // Narrow columns: the titles need the room more than the padding.
    DBGrid1_->horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { padding: 0px 1px; }"));
    DBGrid1_->verticalHeader()->hide();
    const int widths[] = {39, 53, 42, 51, 36, 38};
    for (int c = 0; c < 6; ++c)
        DBGrid1_->setColumnWidth(c, widths[c]);
    DBGrid1_->setGeometry(4, 264, 303, 241);
}

void TFCOMM::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    bar->setFont(QApplication::font());

    Record1_ = bar->addMenu(QStringLiteral("Record"));
    Record1_->setObjectName(QStringLiteral("Record1"));
    auto addItem = [this](const char* name, const char* text) {
        QAction* a = Record1_->addAction(QString::fromLatin1(text));
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    addItem("New1", "New")->setVisible(false);
    addItem("Save1", "Save")->setVisible(false);
    Record1_->addSeparator()->setVisible(false);
    const std::pair<const char*, const char*> limits[] = {
        {"N10001", "1000"}, {"N50001", "5000"}, {"N100001", "10000"},
        {"N500001", "50000"}, {"N1000001", "100000"}, {"limitess", "limitless"}};
    for (const auto& [name, text] : limits) {
        QAction* a = addItem(name, text);
        a->setCheckable(true);
        a->setChecked(QLatin1String(name) == QLatin1String("N100001"));
    }

    // Menus that only carry state; the user never sees them.
    bar->addMenu(connection_->ComSetup1())->setVisible(false);
    bar->addMenu(connection_->Connect1())->setVisible(false);
}

bool TFCOMM::is64BitSystem() {
    const QString arch = QSysInfo::currentCpuArchitecture();
    return arch == QLatin1String("x86_64") || arch == QLatin1String("ia64");
}

void TFCOMM::FormCreate() {
    systeminfomation_->setText(QLocale::system().decimalPoint());
    DecimalSepText_ = QLocale().decimalPoint();
    // Filled now as well as at every frame, so that limits typed before the
    // first frame are validated with the user's separator.
    LocaleFormat_ = QLocale();
    limits_->setSeparators(systeminfomation_->text(), DecimalSepText_, LocaleFormat_.decimalPoint());

    Chtshow_->addPlaceholderPoints();
    Chtshow_->showSeries(0);
    Chtshow_->showSeries(ChartToolbar_->BtFill()->isChecked() ? 0 : 1);

    profile_ = meterlink::resolveModelProfile(meterlink::buildSwitches());
    switch (profile_.receiveHandler) {
    case meterlink::ReceiveHandler::HexFrames:
        COMM2_.setOnReceiveData([this](TSerialPortDriver* sender, const std::uint8_t* bytes, int size) {
            RECEIVE_COM_Data(sender, bytes, size);
        });
        break;
    case meterlink::ReceiveHandler::NibbleFrames:
        COMM2_.setOnReceiveData([this](TSerialPortDriver*, const std::uint8_t* bytes, int size) {
            nibbleAssembler_.feed(bytes, static_cast<std::size_t>(size));
        });
        break;
    case meterlink::ReceiveHandler::None:
        break;
    }
    COMM2_.setComPortSpeed(profile_.serialBaud == 19200 ? TSerialPortDriver::br19200 : TSerialPortDriver::br2400);
    decoder_ = meterlink::ReadingDecoder(profile_.fullCount);
    Panel1_->setState(meterlink::LcdState::initial(profile_.firstDigit));
    Chtshow_->setValueRange(-profile_.fullCount, profile_.fullCount);
    setWindowTitle(QString::fromStdString(meterlink::captionWithPlatform(profile_.title, is64BitSystem())));
}

void TFCOMM::showLinkError(const QString& message) {
    QMessageBox::critical(this, QStringLiteral("Error"), message);
}

void TFCOMM::BitBtn1Click() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), quitQuestion(),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
    if (box.exec() == QMessageBox::Yes)
        QApplication::quit();
}

void TFCOMM::USBConClick() {
    // No USB adapter can be used yet: the button comes back up, as when none is found.
    connection_->USBCon()->setChecked(false);
}

void TFCOMM::ConTimerTimer() {
    if (!link_->countTick())
        return;
    // Decided after whatever else is due at this moment: a frame the serial
    // poll delivers in the same tick keeps the link active, instead of the
    // pictures flipping to idle and straight back.
    QMetaObject::invokeMethod(
        this, [this] { if (link_->LinkIdleTicks() == 2) link_->showIdle(); }, Qt::QueuedConnection);
}

void TFCOMM::RECEIVE_COM_Data(TSerialPortDriver*, const std::uint8_t* bytes, int size) {
    if (size > 0)
        assembler_.feed(bytes, static_cast<std::size_t>(size));
}

void TFCOMM::LcdDisplayKR20C(const meterlink::MeterFrame& frame) {
    const QLocale user;
    const QString separator = user.decimalPoint();
    // A frame with a corrupt digit is dropped whole: the last reading stays.
    if (decoder_.decode(frame, separator.toStdString()) != meterlink::DecodeResult::Decoded)
        return;
    DecimalSepText_ = separator;
    LocaleFormat_ = user;
    limits_->setSeparators(systeminfomation_->text(), DecimalSepText_, LocaleFormat_.decimalPoint());
    limits_->fixSeparators();
    link_->frameDecoded();
    Panel1_->setState(decoder_.lcd());

    const meterlink::ChartAxis& axis = decoder_.axis();
    Chtshow_->setValueRange(axis.minimum, axis.maximum);
    const meterlink::Verdict verdict = limits_->judgeReading(QString::fromStdString(decoder_.reading().ValueText));
    if (verdict != meterlink::Verdict::Unchanged)
        decoder_.mutableReading().JudgeText = meterlink::judgeText(verdict);
    if (decoder_.progressMaximumChanged())
        changeBarQuietly(PBar2_, [&] { PBar2_->setMaximum(axis.progressMaximum); });
    INDataToTable();
}

void TFCOMM::INDataToTable() {
    // A bar never shows more than full, whatever the value.
    const double magnitude = std::trunc(std::fabs(decoder_.reading().ChartValue));
    const int position = magnitude >= PBar2_->maximum() ? PBar2_->maximum() : static_cast<int>(magnitude);
    if (position == PBar2_->value()) return;
    changeBarQuietly(PBar2_, [&] { PBar2_->setValue(position); });
}
