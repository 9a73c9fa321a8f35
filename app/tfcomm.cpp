#include "tfcomm.h"

#include "chart_toolbar.h"
#include "connection_control.h"
#include "data_file_commands.h"
#include "design_font.h"
#include "find_meter_dialog.h"
#include "hid_info_dialog.h"
#include "journal_recovery.h"
#include "lcd_panel.h"
#include "limit_panel.h"
#include "link_indicator.h"
#include "meter_chart.h"
#include "remote_buttons.h"
#include "links/bridge_meter_link.h"
#include "record_bar.h"
#include "record_grid.h"
#include "analysis/analysis_launcher.h"
#include "record_menu.h"
#include "record_table_model.h"
#include "record_to_file.h"
#include "user_settings.h"

#include "links/hid_device_controller.h"
#include "links/hid_platform_factory.h"
#include "links/meter_line.h"
#include "links/usb_device_list.h"
#include "links/usb_report_bytes.h"
#include "meter_setting.h"
#include "recording/journal.h"

#include <QLocale>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QHeaderView>
#include <QLabel>
#include <QSysInfo>
#include <QActionGroup>
#include <QMap>
#include <QFileInfo>
#include <QTableView>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <utility>

namespace {

QFont arial(int pixelSize) { return designFont(QStringLiteral("Arial"), pixelSize); }

// A name as a menu shows it: an ampersand ("V&A") is a letter, not the mark
// of the key that opens the menu.
QString menuText(QString name) { return name.replace(QLatin1Char('&'), QStringLiteral("&&")); }

// QProgressBar repaints at once on a visible change; held back, the bar is
// painted with the rest of the frame's changes in one pass.
template <class Change>
void changeBarQuietly(QProgressBar* bar, Change change) {
    bar->setUpdatesEnabled(false);
    change();
    bar->setUpdatesEnabled(true);
}

}  // namespace

TFCOMM::TFCOMM(QWidget* parent, std::shared_ptr<HidPlatform> hid)
    : QMainWindow(parent),
      assembler_([this](const meterlink::MeterFrame& frame) { LcdDisplayKR20C(frame); }),
      usb_([this](const meterlink::MeterFrame& frame) { LcdDisplayKR20C(frame); }) {
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
    buildUsbLink(hid ? std::move(hid) : createHidPlatform());
    buildMenus();
    connectDataFileCommands();
    FormCreate();
    applyUserSettings();
    keepUserSettings();
    startJournal();

    // The 100 ms link tick. Only the ticks that find the link idle act, so
    // the timer sleeps until the next of them instead of waking the program
    // ten times a second, mostly to count.
    ConTimer_ = new QTimer(this);
    ConTimer_->setObjectName(QStringLiteral("ConTimer"));
    ConTimer_->setSingleShot(true);
    ConTimer_->setTimerType(Qt::PreciseTimer);
    connect(ConTimer_, &QTimer::timeout, this, &TFCOMM::ConTimerTimer);
    armConTimer();
}

void TFCOMM::armConTimer() { ConTimer_->start(link_->msUntilIdleTick()); }

TFCOMM::~TFCOMM() {
    // Kept when rows are unsaved, removed otherwise.
    if (journal_) journal_->finish();
    // The window takes the port with it, and stops reading the USB cable:
    // the controller unplugs the devices the list still holds, then the list
    // lets them go.
    COMM2_.Disconnect();
    bridge_.reset();
    HidCtl_.reset();
    devices_.reset();
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
    // Its own background: a new position does not repaint the window behind.
    PBar2_->setAutoFillBackground(true);

    Panel2_ = new RecordBar(client);
    Panel2_->move(4, 216);
    connect(Panel2_->RecordNew(), &QToolButton::clicked, this, &TFCOMM::RecordNewClick);
    connect(Panel2_->Timer3(), &QTimer::timeout, this, &TFCOMM::Timer3Timer);

    buildRecordGrid(client);

    limits_ = new LimitPanel(client);
    limits_->move(308, 34);
    link_ = new LinkIndicator(limits_, {310, 13});

    ChartToolbar_ = new ChartToolbar(client);
    ChartToolbar_->move(306, 149);
    connect(ChartToolbar_, &ChartToolbar::enlargeClicked, this, &TFCOMM::TbFdClick);
    connect(ChartToolbar_, &ChartToolbar::restoreClicked, this, &TFCOMM::TbSxClick);

    Chtshow_ = new MeterChart(client);
    Chtshow_->setGeometry(309, 189, 350, 316);

    // Holds the system locale's decimal separator for the limit key filter.
    systeminfomation_ = new QLineEdit(client);
    systeminfomation_->setObjectName(QStringLiteral("systeminfomation"));
    systeminfomation_->hide();

    remote_ = new RemoteButtons(this);
    addToolBar(Qt::BottomToolBarArea, remote_);
    remote_->hide();
    remote_->setEnabled(false);
    connect(remote_, &RemoteButtons::pressed, this, [this](meterlink::AbCdCommand c) {
        if (bridge_ && !bridge_->send(c))
            showLinkError(QStringLiteral("The %1 cable took no command.").arg(bridge_->cableText()));
    });
}

void TFCOMM::buildRecordGrid(QWidget* parent) {
    tableModel_ = new RecordTableModel(RecordTable_, this);
    tableModel_->setObjectName(QStringLiteral("RecordTable"));
    DBGrid1_ = new RecordGrid(*tableModel_, parent);
    DBGrid1_->setObjectName(QStringLiteral("DBGrid1"));
    QTableView* view = DBGrid1_->view();
    view->setFont(arial(12));
    view->verticalHeader()->setDefaultSectionSize(QFontMetrics(view->font()).height() + 3);
    QFont titleFont = windowFont();
    titleFont.setBold(false);
    view->horizontalHeader()->setFont(titleFont);
    // Narrow columns: the titles need the room more than the padding.
    view->horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { padding: 0px 1px; }"));
    DBGrid1_->setGeometry(4, 264, 303, 241);
}

void TFCOMM::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    bar->setFont(QApplication::font());

    recordMenu_ = new RecordMenu(bar);
    connect(recordMenu_, &RecordMenu::limitChosen, this, [this](std::int32_t limit) { logger_->setRecordLimit(limit); });
    connect(recordMenu_->New1(), &QAction::triggered, this, &TFCOMM::RecordNewClick);
    connect(recordMenu_, &RecordMenu::confirmChosen, this, [this](int frames) { logger_->setConfirmFrames(frames); });
    recordToFile_ = new RecordToFile(*recordMenu_, statusBar(), this);
    analysis_ = new meterlink::analysis::AnalysisLauncher(
        RecordTable_, [this] { return DecimalSepText_; }, limits_->T1HI(), limits_->T1LO(), this);
    connect(recordMenu_->analysisItem(), &QAction::triggered, analysis_, &meterlink::analysis::AnalysisLauncher::open);
    connect(ChartToolbar_->BtAnalysis(), &QToolButton::clicked, analysis_, &meterlink::analysis::AnalysisLauncher::open);

    // Menus that only carry state; the user never sees them.
    bar->addMenu(connection_->ComSetup1())->setVisible(false);
    bar->addMenu(connection_->Connect1())->setVisible(false);
    bar->addMenu(ChartToolbar_->Graphic())->setVisible(false);
    buildMeterMenu();
}

void TFCOMM::buildMeterMenu() {
    // After the existing menus: the models by maker, the shipped one first.
    meterMenu_ = menuBar()->addMenu(QStringLiteral("Meter"));
    meterMenu_->setObjectName(QStringLiteral("MeterMenu"));
    auto* group = new QActionGroup(meterMenu_);
    group->setExclusive(true);
    QMap<QString, QMenu*> makers;
    for (const meterlink::MeterModel& model : meterlink::meterTable()) {
        const QString maker = QString::fromUtf8(model.maker.data(), static_cast<int>(model.maker.size()));
        QMenu* into = meterMenu_;
        if (!maker.isEmpty()) {
            QMenu*& sub = makers[maker];
            if (!sub) sub = meterMenu_->addMenu(menuText(maker));
            into = sub;
        }
        QAction* action =
            into->addAction(menuText(QString::fromUtf8(model.model.data(), static_cast<int>(model.model.size()))));
        action->setObjectName(QString::fromStdString(meterlink::meterName(model)));
        action->setCheckable(true);
        action->setChecked(&model == meter_);
        action->setData(QVariant::fromValue(static_cast<const void*>(&model)));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, &model] {
            if (!chooseMeter(model, true)) {
                // The link is open: the check mark goes back to the meter read.
                for (QAction* a : meterMenu_->findChildren<QAction*>())
                    if (a->data().value<const void*>() == meter_) a->setChecked(true);
            }
        });
    }
    meterMenu_->addSeparator();
    QAction* find = meterMenu_->addAction(QStringLiteral("Find my meter…"));
    find->setObjectName(QStringLiteral("FindMeter"));
    connect(find, &QAction::triggered, this, &TFCOMM::FindMeterClick);
    // A meter is chosen while no link is open; the menu says so by its looks.
    connect(meterMenu_, &QMenu::aboutToShow, this, [this, find] {
        const bool free = connection_->state() == ConnectionControl::State::Disconnected;
        for (QAction* a : meterMenu_->findChildren<QAction*>())
            if (a->isCheckable()) a->setEnabled(free);
        find->setEnabled(free);
    });
}

meterlink::MeterFinder::Options TFCOMM::findMeterOptions() const {
    meterlink::MeterFinder::Options options;
    options.systemPorts = true;
    options.usb = true;
    // The window's own HID devices (a simulated cable in tests), not owned here.
    if (HidCtl_) options.hid = std::shared_ptr<HidPlatform>(HidCtl_->Platform(), [](HidPlatform*) {});
    // The four ports the window offers, where they are not among the system's.
    for (int n = 0; n < 4; ++n) {
        const QString device = TSerialPortDriver::deviceName(static_cast<TSerialPortDriver::TComPortNumber>(n));
        if (QFileInfo::exists(device)) options.ports << device;
    }
    if (!COMM2_.portPath().isEmpty() && !options.ports.contains(COMM2_.portPath())) options.ports << COMM2_.portPath();
    options.decimalSep = DecimalSepText_;
    return options;
}

void TFCOMM::FindMeterClick() {
    // The ports of an open link are in use: choosing needs them closed.
    if (connection_->state() != ConnectionControl::State::Disconnected) return;
    FindMeterDialog dialog(findMeterOptions(), this);
    if (dialog.exec() != QDialog::Accepted || !dialog.chosen() || !dialog.chosenModel()) return;
    if (!useFoundMeter(*dialog.chosen(), *dialog.chosenModel()))
        showLinkError(QStringLiteral("Could not choose %1: this build cannot read it.")
                          .arg(QString::fromStdString(meterlink::meterName(*dialog.chosenModel()))));
}

bool TFCOMM::useFoundMeter(const meterlink::FoundMeter& found, const meterlink::MeterModel& model) {
    if (!chooseMeter(model, true)) return false;
    // A USB cable is found by the USB link itself.
    if (found.usb()) return true;
    for (int n = 1; n <= 4; ++n) {
        if (TSerialPortDriver::deviceName(static_cast<TSerialPortDriver::TComPortNumber>(n - 1)) == found.port) {
            COMM2_.setPortPath(QString());
            connection_->COMItem(n)->trigger();
            return true;
        }
    }
    COMM2_.setPortPath(found.port);
    return true;
}

bool TFCOMM::chooseMeter(const meterlink::MeterModel& model, bool remember) {
    if (connection_->state() != ConnectionControl::State::Disconnected) return false;
    const bool shipped = &model == &meterlink::defaultMeter();
    std::unique_ptr<meterlink::MeterDecoder> decoder;
    if (!shipped) {
        decoder = meterlink::makeDecoder(model, DecimalSepText_.toStdString());
        if (!decoder) return false;   // a protocol this build cannot read
    }
    meter_ = &model;
    applyMeterLine(COMM2_, model.line);
    if (shipped) {
        // The program as built: its own assembler and decoder, the profile's count.
        meterDecoder_.reset();
        COMM2_.setComPortSpeed(profile_.serialBaud == 19200 ? TSerialPortDriver::br19200 : TSerialPortDriver::br2400);
        decoder_ = meterlink::ReadingDecoder(profile_.fullCount);
    } else {
        meterDecoder_ = std::move(decoder);
        meterDecoder_->setHandler([this](const meterlink::MeterDecoder& d) { showMeterReading(d); });
    }
    const int fullCount = shipped ? profile_.fullCount : model.fullCount;
    Panel1_->setDigitPlaces(fullCount > 9999 ? 5 : 4);
    LcdPanel::Extras look;
    if (fullCount > 9999) look.digit5 = '9';
    Panel1_->setState(meterlink::LcdState::initial(profile_.firstDigit), look);
    Chtshow_->setValueRange(-fullCount, fullCount);
    remote_->setVisible(model.protocol == meterlink::MeterProtocol::UniTAbCd);
    for (QAction* a : meterMenu_->findChildren<QAction*>())
        if (a->data().value<const void*>() == &model) a->setChecked(true);
    if (remember) meter_setting::store(QString::fromStdString(meterlink::meterName(model)));
    frameless_.reset();
    if (profile_.title.size()) showTitle();
    return true;
}

bool TFCOMM::is64BitSystem() {
    const QString arch = QSysInfo::currentCpuArchitecture();
    return arch == QLatin1String("x86_64") || arch == QLatin1String("ia64");
}

void TFCOMM::FormCreate() {
    ChartPager_ = std::make_unique<meterlink::TChartControl>(100);
    systeminfomation_->setText(QLocale::system().decimalPoint());
    DecimalSepText_ = QLocale().decimalPoint();
    // Filled now as well as at every frame, so that limits typed before the
    // first frame are validated with the user's separator.
    LocaleFormat_ = QLocale();
    limits_->setSeparators(systeminfomation_->text(), DecimalSepText_, LocaleFormat_.decimalPoint());

    // The record table is open from construction; numbering starts at 1
    // under the limit of 10000.
    logger_ = std::make_unique<meterlink::RecordLogger>(RecordTable_, *ChartPager_);
    logger_->setAppendedHandler([this](const meterlink::MeterReading& r) { rowLogged(r); });
    // Shown once the frame's pass is over: the USB reader waits on that pass.
    logger_->setLimitReachedHandler([this](std::int32_t limit) {
        QTimer::singleShot(0, this, [this, limit] { showInformation(recordLimitText(limit)); });
    });

    ChartPager_->resetToPlaceholder();
    Chtshow_->setPager(ChartPager_.get());
    ChartToolbar_->attach(ChartPager_.get(), Chtshow_);
    // "Repeat" shares the Fill switch's handler, which re-applies the Fill choice.
    connect(Panel2_->RepeatSet(), &QCheckBox::clicked, ChartToolbar_, &ChartToolbar::btFillClick);
    Chtshow_->ComboBox1()->setCurrentIndex(0);
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
    showTitle();
}

void TFCOMM::showTitle() {
    QString title = QString::fromStdString(meterlink::captionWithPlatform(profile_.title, is64BitSystem()));
    // Another meter than the shipped one is named, so a wrong choice shows.
    if (meter_ != &meterlink::defaultMeter())
        title += QStringLiteral(" - ") + QString::fromStdString(meterlink::meterName(*meter_));
    setWindowTitle(title);
}

void TFCOMM::meterBytesArrived(std::size_t n) {
    if (!framelessClock_.isValid()) framelessClock_.start();
    if (!frameless_.bytesArrived(n, framelessClock_.elapsed())) return;
    // In the status line rather than a box: nothing waits for the user, who
    // may be away; the next frame that forms clears it.
    statusBar()->showMessage(
        QString::fromStdString(meterlink::framelessBytesNotice(meterlink::meterName(*meter_))));
}

void TFCOMM::frameFormed() {
    frameless_.frameDecoded();
    if (!statusBar()->currentMessage().isEmpty()) statusBar()->clearMessage();
}

void TFCOMM::applyUserSettings() {
    const UserSettings::Values v = UserSettings::load();
    limits_->T1HI()->setText(v.highLimit);
    limits_->T1LO()->setText(v.lowLimit);
    for (int i = 0; i < RecordMenu::limitItemCount(); ++i)
        if (RecordMenu::limitOf(i) == v.recordLimit) recordMenu_->chooseLimit(i);
    recordMenu_->chooseConfirm(v.confirmFrames);
    ChartToolbar_->Maxrecord()->setText(QString::number(v.pageSize));
    ChartPager_->SetPageSize(v.pageSize);
    ChartToolbar_->showPageNumber();
    Panel2_->RecordSITime()->setText(QString::number(v.samplingSeconds));
    Panel2_->RecordSI()->setChecked(v.sampling);
    Panel2_->RepeatSet()->setChecked(v.repeat);
    connection_->COMItem(v.comPort)->trigger();
}

void TFCOMM::keepUserSettings() {
    // Each after the control's own handler, so what is kept is what took effect.
    connect(limits_->Timer1(), &QTimer::timeout, this, [this] { UserSettings::setHighLimit(limits_->T1HI()->text()); });
    connect(limits_->Timer4(), &QTimer::timeout, this, [this] { UserSettings::setLowLimit(limits_->T1LO()->text()); });
    connect(recordMenu_, &RecordMenu::limitChosen, this, &UserSettings::setRecordLimit);
    connect(recordMenu_, &RecordMenu::confirmChosen, this, &UserSettings::setConfirmFrames);
    connect(ChartToolbar_->Timer2(), &QTimer::timeout, this, [this] { UserSettings::setPageSize(ChartPager_->FPageSize()); });
    connect(Panel2_->RecordSITime(), &QLineEdit::textChanged, this,
            [this] { UserSettings::setSamplingSeconds(Panel2_->Timer3()->interval() / 1000); });
    connect(Panel2_->RecordSI(), &QCheckBox::toggled, this, &UserSettings::setSampling);
    connect(Panel2_->RepeatSet(), &QCheckBox::toggled, this, &UserSettings::setRepeat);
    connect(connection_, &ConnectionControl::portChosen, this, &UserSettings::setComPort);
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

void TFCOMM::ConTimerTimer() {
    if (!link_->idleTickDue()) {
        armConTimer();
        return;
    }
    // Decided after whatever else is due at this moment: a frame the serial
    // poll delivers in the same tick keeps the link active, instead of the
    // pictures flipping to idle and straight back.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (link_->idleTickDue()) {
                // The USB watchdog is looked at on the ticks that find the link idle.
                if (usb_.watchdogDue()) {
                    usb_.resetIdleCount();
                    usbLinkCable_.reset();
                    connection_->USBCon()->setChecked(false);
                    if (THidDevice* device = devices_->ActiveHidDev()) device->SetDataHandler(nullptr);
                    showInformation(frameless_.bytesButNoFrame()
                                        ? meterMayBeAnotherModelText(QString::fromStdString(meterlink::meterName(*meter_)))
                                        : meterNotReadyText());
                }
                link_->showIdle();
            }
            armConTimer();
        },
        Qt::QueuedConnection);
}

void TFCOMM::RECEIVE_COM_Data(TSerialPortDriver*, const std::uint8_t* bytes, int size) {
    if (size <= 0) return;
    meterBytesArrived(static_cast<std::size_t>(size));
    if (meterDecoder_)
        meterDecoder_->feed(bytes, static_cast<std::size_t>(size));
    else
        assembler_.feed(bytes, static_cast<std::size_t>(size));
}

void TFCOMM::showMeterReading(const meterlink::MeterDecoder& decoder) {
    const meterlink::MeterLcd& lcd = decoder.lcd();
    LcdPanel::Extras extras;
    extras.digit5 = lcd.digit5;
    for (std::size_t i = 0; i < LcdPanel::kExtraCount && i < meterlink::kLcdExtraCount; ++i)
        extras.on.set(i, lcd.extra.test(i));
    link_->frameDecoded();
    frameFormed();
    armConTimer();
    if (bridge_) bridge_->noteReading();
    Panel1_->setState(lcd.state, extras);
    readingDecoded(meterDecoder_->mutableReading(), decoder.axis(), decoder.progressMaximumChanged());
    // The separator for the next reading, should the user's locale change.
    const QLocale user;
    if (user.decimalPoint() != DecimalSepText_) {
        DecimalSepText_ = user.decimalPoint();
        LocaleFormat_ = user;
        meterDecoder_->setDecimalSeparator(DecimalSepText_.toStdString());
        limits_->setSeparators(systeminfomation_->text(), DecimalSepText_, LocaleFormat_.decimalPoint());
        limits_->fixSeparators();
    }
}

void TFCOMM::LcdDisplayKR20C(const meterlink::MeterFrame& frame) {
    // Another meter's bytes never reach the shipped meter's decoder.
    if (meterDecoder_) return;
    const QLocale user;
    const QString separator = user.decimalPoint();
    // A frame with a corrupt digit is dropped whole: the last reading stays.
    if (decoder_.decode(frame, separator.toStdString()) != meterlink::DecodeResult::Decoded)
        return;
    frameFormed();
    DecimalSepText_ = separator;
    LocaleFormat_ = user;
    limits_->setSeparators(systeminfomation_->text(), DecimalSepText_, LocaleFormat_.decimalPoint());
    limits_->fixSeparators();
    link_->frameDecoded();
    armConTimer();
    Panel1_->setState(decoder_.lcd());
    readingDecoded(decoder_.mutableReading(), decoder_.axis(), decoder_.progressMaximumChanged());
}

void TFCOMM::readingDecoded(meterlink::MeterReading& reading, const meterlink::ChartAxis& axis,
                            bool progressChanged) {
    Chtshow_->setValueRange(axis.minimum, axis.maximum);
    const meterlink::Verdict verdict =
        limits_->judgeReading(QString::fromStdString(reading.ValueText), reading.UnitText);
    if (verdict != meterlink::Verdict::Unchanged) {
        reading.JudgeText = meterlink::judgeText(verdict);
        const meterlink::SiLimits limits = limits_->limitsInSi(reading.UnitText);
        reading.HighLimitSi = limits.high;
        reading.LowLimitSi = limits.low;
    }
    if (progressChanged)
        changeBarQuietly(PBar2_, [&] { PBar2_->setMaximum(axis.progressMaximum); });
    if (Panel2_->frameDecoded())
        INDataToTable();
    else
        logger_->frameWhileSampling(reading);
}

void TFCOMM::readLoggingSwitches() {
    logger_->repeat = Panel2_->RepeatSet()->isChecked();
    logger_->sampling = Panel2_->RecordSI()->isChecked();
    logger_->livedata = Panel2_->livedata()->isChecked();
}

void TFCOMM::INDataToTable() {
    readLoggingSwitches();
    logger_->INDataToTable(currentReading());
}

void TFCOMM::Timer3Timer() {
    if (benchClocked_) return;   // the bench's clock samples
    readLoggingSwitches();
    logger_->Timer3Timer(currentReading());
}

void TFCOMM::setBenchClock(meterlink::RecordLogger::FullClock clock) {
    benchClocked_ = static_cast<bool>(clock);
    logger_->setFullClock(clock ? std::move(clock) : [] { return meterlink::FullTime::now(); });
}

void TFCOMM::benchTick() {
    readLoggingSwitches();
    logger_->Timer3Timer(currentReading());
}

void TFCOMM::rowLogged(const meterlink::MeterReading& reading) {
    // A bar never shows more than full, whatever the value.
    const double magnitude = std::trunc(std::fabs(reading.ChartValue));
    const int position = magnitude >= PBar2_->maximum() ? PBar2_->maximum() : static_cast<int>(magnitude);
    if (position != PBar2_->value())
        changeBarQuietly(PBar2_, [&] { PBar2_->setValue(position); });
    ChartToolbar_->showPageNumber();
    recordToFile_->rowLogged(RecordTable_, RecordTable_.rowCount() - 1, DecimalSepText_);
}

void TFCOMM::RecordNewClick() {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"),
                    QStringLiteral("Are you sure that you want to clear all recorded data?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
    if (box.exec() != QMessageBox::Yes) return;
    logger_->closeData();
    ChartToolbar_->showPageNumber();
}

void TFCOMM::TbFdClick() {
    ChartToolbar_->TbFd()->hide();
    ChartToolbar_->TbSx()->show();
    SavedChartBounds_ = Chtshow_->geometry();
    // The chart fills the client area below the toolbar, 2 px from its edges.
    const QSize client = centralWidget()->size();
    Chtshow_->setGeometry(2, 28, client.width() - 6, client.height() - 28 - 2);
    ChartToolbar_->move(2, 0);
    Panel2_->hide();
    limits_->hide();
    Panel5_->hide();
    Chtshow_->raise();
    ChartToolbar_->raise();
}

void TFCOMM::TbSxClick() {
    ChartToolbar_->TbSx()->hide();
    ChartToolbar_->TbFd()->show();
    Chtshow_->setGeometry(SavedChartBounds_);
    ChartToolbar_->move(312, 141);
    Panel2_->show();
    limits_->show();
    Panel5_->show();
}

void TFCOMM::buildUsbLink(std::shared_ptr<HidPlatform> hid) {
    hid_ = hid;
    try {
        HidCtl_ = std::make_unique<THidDeviceController>(std::move(hid));
    } catch (const EControllerError& e) {
        qWarning("USB devices unavailable: %s", e.what());
    }
    devices_ = std::make_unique<UsbDeviceList>(HidCtl_.get());
    if (!HidCtl_) return;
    HidCtl_->SetOnArrival([this](THidDevice* d) { HidCtlArrival(d); });
    HidCtl_->SetOnRemoval([this](THidDevice* d) { HidCtlRemoval(d); });
    HidCtl_->SetOnEnumerate([this](THidDevice* d, int i) { return HidCtlEnumerate(d, i); });
    HidCtl_->SetOnDeviceDataError([this](THidDevice* d, std::uint32_t e) { HidCtlDeviceDataError(d, e); });
    // Bound last: binding it builds the device list at once.
    HidCtl_->SetOnDeviceChange([this](THidDeviceController*) { HidCtlDeviceChange(); });
}

void TFCOMM::showInformation(const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok, this);
    box.exec();
}

void TFCOMM::HidCtlDeviceChange() {
    // Any device coming or going rebuilds the list, which checks the cable in
    // and stops its reading; an open link must not die of that.
    const std::optional<THidPnPInfo> cable = std::exchange(usbLinkCable_, std::nullopt);
    devices_->HidCtlDeviceChange();
    if (cable) resumeUsbLink(*cable);
}

void TFCOMM::resumeUsbLink(const THidPnPInfo& cable) {
    if (!connection_->USBCon()->isChecked()) return;
    if (THidDevice* device = devices_->selectDevice(cable.DevInst)) {
        SetFeatureClick();
        bindUsbReader(device);
        return;
    }
    // Told after the controller has finished its reconciliation, not from
    // inside it.
    const QString path = QString::fromStdString(cable.DevicePath);
    QTimer::singleShot(0, this, [this, path] { showLinkError(usbCableLostText(path)); });
}

bool TFCOMM::HidCtlEnumerate(THidDevice* HidDev, int Idx) { return devices_->HidCtlEnumerate(HidDev, Idx); }
void TFCOMM::HidCtlArrival(THidDevice* HidDev) { devices_->HidCtlArrival(HidDev); }
void TFCOMM::HidCtlRemoval(THidDevice* HidDev) { devices_->HidCtlRemoval(HidDev); }
void TFCOMM::HidCtlDeviceDataError(THidDevice* HidDev, std::uint32_t Error) {
    devices_->HidCtlDeviceDataError(HidDev, Error);
}
void TFCOMM::ReadBtnClick() { devices_->ReadBtnClick(); }
void TFCOMM::ClearBtnClick() { devices_->ClearBtnClick(); }

void TFCOMM::InfoBtnClick() {
    THidDevice* device = devices_->selectedDevice();
    if (!device) return;
    HidInfoDialog info(*device, this);
    info.exec();
}

void TFCOMM::SetFeatureClick() {
    devices_->setActiveHidDev(nullptr);
    THidDevice* device = devices_->selectedDevice();
    if (!device) {
        showInformation(usbNotConnectedText());
        connection_->USBCon()->setChecked(false);
        return;
    }
    devices_->setActiveHidDev(device);
    const auto report = adapterFeatureReport(static_cast<std::uint32_t>(adapterBaud()));
    // A refusal shows as missing data, not as a message.
    device->SendFeatureReport(report.data(), report.size());
    devices_->history().append(HidHistory::bytesLine(report.data(), report.size()));
}

int TFCOMM::adapterBaud() const {
    // The shipped meter keeps its profile's rate; another meter's cable runs
    // at the rate its table row gives (its serial speed when none is given).
    if (&meter() == &meterlink::defaultMeter()) return profile_.adapterBaud;
    return meter().cableBaud > 0 ? meter().cableBaud : meter().line.baud;
}

void TFCOMM::USBConClick() {
    if (meter_->cable == meterlink::Cable::UtD09) {
        bridgeConClick();
        return;
    }
    ReadBtnClick();
    SetFeatureClick();
    usb_.resetIdleCount();
    devices_->setActiveHidDev(nullptr);
    THidDevice* device = devices_->selectedDevice();
    if (!device) return;
    devices_->setActiveHidDev(device);
    QPushButton* usbCon = connection_->USBCon();
    if (!device->ReadWriteAccess()) {
        usbCon->setChecked(false);
        return;
    }
    if (!usbCon->isChecked()) {
        connection_->showUsbLinkClosed();
        device->SetDataHandler(nullptr);
        usbLinkCable_.reset();
        return;
    }
    connection_->showUsbLinkOpen();
    frameless_.reset();
    bindUsbReader(device);
}

// The UT-D09 cable is found by its USB id and asked for each reading; its
// answers go to the chosen meter's decoder like any other meter bytes.
void TFCOMM::bridgeConClick() {
    QPushButton* usbCon = connection_->USBCon();
    if (!usbCon->isChecked()) {
        bridge_.reset();
        remote_->setEnabled(false);
        connection_->showUsbLinkClosed();
        return;
    }
    bridge_ = std::make_unique<BridgeMeterLink>(hid_, *meter_);
    bridge_->setBytesHandler([this](const std::uint8_t* bytes, std::size_t size) {
        meterBytesArrived(size);
        if (meterDecoder_) meterDecoder_->feed(bytes, size);
    });
    connect(bridge_.get(), &BridgeMeterLink::lost, this, [this](const QString& reason) {
        showLinkError(reason.left(1).toUpper() + reason.mid(1) + QLatin1Char('.'));
    });
    frameless_.reset();
    QString error;
    if (!bridge_->open(error)) {
        bridge_.reset();
        usbCon->setChecked(false);
        showLinkError(error.left(1).toUpper() + error.mid(1) + QLatin1Char('.'));
        return;
    }
    connection_->showUsbLinkOpen();
    remote_->setEnabled(true);
}

void TFCOMM::bindUsbReader(THidDevice* device) {
    using Reader = void (TFCOMM::*)(THidDevice*, std::uint8_t, const std::uint8_t*, std::uint16_t);
    Reader reader = nullptr;
    switch (profile_.usbHandler) {
    case meterlink::UsbReportHandler::KR20C: reader = &TFCOMM::USBReadKR20C; break;
    case meterlink::UsbReportHandler::KR10A: reader = &TFCOMM::USBReadKR10A; break;
    case meterlink::UsbReportHandler::KR30B: reader = &TFCOMM::USBReadKR30B; break;
    case meterlink::UsbReportHandler::None: break;   // the link looks open, but nothing reads
    }
    if (!reader) return;
    // The cable reports a hundred times a second; only the idle report that
    // ends a frame shows anything. Naming the idle ones lets the cable be read
    // at a pace and the other reports come a few at a time, instead of waking
    // the window for each.
    device->SetQuietReports(&UsbReportUnwrapper::isQuietReport);
    device->SetDataHandler([this, reader](THidDevice* d, std::uint8_t id, const std::uint8_t* bytes,
                                          std::uint16_t size) { (this->*reader)(d, id, bytes, size); });
    usbLinkCable_ = device->PnPInfo();
}

void TFCOMM::noteReport(UsbReportUnwrapper::Report kind, std::uint8_t reportId, const std::uint8_t* bytes,
                        std::uint16_t size) {
    if (kind == UsbReportUnwrapper::Report::Data)
        devices_->history().append(HidHistory::reportLine(reportId, bytes, size));
}

void TFCOMM::USBReadKR20C(THidDevice*, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size) {
    // The unwrapper keeps the watchdog and history for every meter; only the
    // shipped meter's frames are cut by the cable's idle reports, any other
    // meter's decoder takes the bytes as a stream and finds its frames itself.
    noteReport(usb_.USBReadKR20C(Data, Size), ReportID, Data, Size);
    // On a 7-bit line the cable passes the parity bit on as bit 7.
    const UsbReportBytes bytes = usbReportBytes(Data, Size, meter_->line.dataBits == 7);
    if (bytes.size == 0) return;
    meterBytesArrived(bytes.size);
    if (meterDecoder_) meterDecoder_->feed(bytes.data(), bytes.size);
}

void TFCOMM::USBReadKR10A(THidDevice*, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size) {
    noteReport(usb_.USBReadKR10A(Data, Size), ReportID, Data, Size);
}

void TFCOMM::USBReadKR30B(THidDevice*, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size) {
    noteReport(usb_.USBReadKR30B(Data, Size), ReportID, Data, Size);
}

void TFCOMM::connectDataFileCommands() {
    dataFiles_ = new DataFileCommands(RecordTable_, this);
    dataFiles_->setReportSource([this](meterlink::ReportDetails& details) {
        details.meter = QString::fromUtf8(meter_->maker.data(), static_cast<qsizetype>(meter_->maker.size()));
        if (!details.meter.isEmpty()) details.meter += QLatin1Char(' ');
        details.meter += QString::fromUtf8(meter_->model.data(), static_cast<qsizetype>(meter_->model.size()));
        details.port = connection_ ? connection_->portTitle() : QString();
        details.highLimit = limits_ ? limits_->GoodHighText() : QString();
        details.lowLimit = limits_ ? limits_->GoodLowText() : QString();
        details.decimalSep = QLocale().decimalPoint();
    });
    connect(Panel2_->saveas(), &QToolButton::clicked, this, &TFCOMM::saveasClick);
    connect(recordMenu_->Save1(), &QAction::triggered, this, &TFCOMM::saveasClick);
    connect(Panel2_->OpenDataFiles(), &QToolButton::clicked, this, &TFCOMM::SpeedButton2Click);
    connect(Panel2_->BtPrint(), &QToolButton::clicked, this, &TFCOMM::BtPrintClick);
    auto* print = new QPushButton(QStringLiteral("Print"), centralWidget());
    print->setObjectName(QStringLiteral("Print"));
    print->hide();
    connect(print, &QPushButton::clicked, this, &TFCOMM::PrintClick);
}

void TFCOMM::startJournal() {
    journal_ = std::make_unique<meterlink::Journal>(
        RecordTable_, [this](int row) { return logger_->chartValueBeingAppended(row); });
    // Told once, after the window is up; logging goes on in memory.
    connect(journal_.get(), &meterlink::Journal::failed, this, [this](const QString& message) {
        QTimer::singleShot(0, this, [this, message] {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), message, QMessageBox::Ok, this);
            box.exec();
        });
    });
    connect(dataFiles_, &DataFileCommands::saved, journal_.get(), &meterlink::Journal::markSaved);
    connect(dataFiles_, &DataFileCommands::loaded, journal_.get(), [this](bool wholeFile) {
        if (wholeFile) journal_->markSaved();
    });
    journal_->start(journalFolder());
}

QString TFCOMM::journalFolder() { return meterlink::Journal::folder(); }

int TFCOMM::offerRecovery() {
    const int restored = JournalRecovery(*logger_, *journal_, this).offer(journalFolder());
    if (restored > 0) ChartToolbar_->showPageNumber();
    return restored;
}

void TFCOMM::saveasClick() { dataFiles_->saveasClick(); }

void TFCOMM::SpeedButton2Click() { dataFiles_->SpeedButton2Click(); }

void TFCOMM::BtPrintClick() { dataFiles_->BtPrintClick(); }
