#pragma once
// The program's one window: the live LCD copy, the limit judge, the link
// controls, the record bar and grid, and the chart. It owns the serial driver
// and runs every frame through the decoder on the GUI thread.

#include "protocol/frameless_bytes_watch.h"
#include "links/hid_events.h"
#include "links/hid_platform.h"
#include "links/serial_port_driver.h"
#include "links/usb_report_unwrapper.h"
#include "protocol/frame_assembler.h"
#include "protocol/meter_table.h"
#include "protocol/meters/meter_decoder.h"
#include "protocol/model_profile.h"
#include "protocol/reading_decoder.h"
#include "recording/chart_pager.h"
#include "recording/record_logger.h"
#include "recording/record_table.h"
#include "tools/meter_finder.h"

#include <QElapsedTimer>
#include <QLocale>
#include <QMainWindow>
#include <QString>

#include <memory>
#include <optional>

namespace meterlink {
class Journal;
}
namespace meterlink::analysis {
class AnalysisLauncher;
}

class ChartToolbar;
class ConnectionControl;
class HidPlatform;
class THidDeviceController;
class UsbDeviceList;
class DataFileCommands;
class LcdPanel;
class LimitPanel;
class LinkIndicator;
class BridgeMeterLink;
class RemoteButtons;
class MeterChart;
class QFrame;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class RecordBar;
class RecordGrid;
class RecordMenu;
class RecordToFile;
class RecordTableModel;

class TFCOMM : public QMainWindow {
    Q_OBJECT
public:
    // hid: the HID devices to use; none: the system's, or the simulated cable
    // that METERLINK_HID names.
    explicit TFCOMM(QWidget* parent = nullptr, std::shared_ptr<HidPlatform> hid = nullptr);
    ~TFCOMM() override;

    static QString quitQuestion() { return QStringLiteral("Are you sure that you want to quit this application?"); }
    static QString usbNotConnectedText() {
        return QStringLiteral("USB interface cable is not securely connected, please check and re-try.");
    }
    // The open USB link's cable went away.
    static QString usbCableLostText(const QString& device) {
        return QStringLiteral("Lost the USB cable (%1): the device was removed from the system").arg(device);
    }
    static QString recordLimitText(std::int32_t limit) {
        return QStringLiteral("The record limit of %1 rows is reached: logging has stopped.").arg(limit);
    }
    static QString meterNotReadyText() {
        return QStringLiteral("USB interface cable is securely connected, please check if the meter is ready.");
    }
    // The meter-ready message when bytes did come but none formed a frame.
    static QString meterMayBeAnotherModelText(const QString& model) {
        return meterNotReadyText() + QStringLiteral(" Bytes arrive but none form a frame of %1: the meter may be "
                                                    "another model.").arg(model);
    }

    TSerialPortDriver& COMM2() { return COMM2_; }
    const meterlink::ModelProfile& profile() const { return profile_; }
    const meterlink::MeterReading& reading() const {
        return meterDecoder_ ? meterDecoder_->reading() : decoder_.reading();
    }
    // The meter read now; the shipped one unless another was chosen.
    const meterlink::MeterModel& meter() const { return *meter_; }
    // Sets the line, decoder, full-scale count, chart axis and LCD up for a
    // model. Refused (false) while a link is open. remember: keep the choice
    // for the next start.
    bool chooseMeter(const meterlink::MeterModel& model, bool remember);
    QMenu* meterMenu() const { return meterMenu_; }
    // "Find my meter…": the dialog, and what choosing a meter found sets: the
    // model, and the port it answered on (a USB cable's link finds it itself).
    void FindMeterClick();
    meterlink::MeterFinder::Options findMeterOptions() const;
    bool useFoundMeter(const meterlink::FoundMeter& found, const meterlink::MeterModel& model);
    // The rate the USB cable's feature report sets.
    int adapterBaud() const;
    const QString& DecimalSepText() const { return DecimalSepText_; }
    const QLocale& LocaleFormat() const { return LocaleFormat_; }

    ConnectionControl& connection() const { return *connection_; }
    LimitPanel& limits() const { return *limits_; }
    LinkIndicator& linkIndicator() const { return *link_; }
    LcdPanel* lcd() const { return Panel1_; }
    QProgressBar* PBar2() const { return PBar2_; }
    MeterChart* Chtshow() const { return Chtshow_; }
    ChartToolbar* chartToolbar() const { return ChartToolbar_; }
    RecordBar* recordBar() const { return Panel2_; }
    RecordGrid* DBGrid1() const { return DBGrid1_; }
    RecordMenu* recordMenu() const { return recordMenu_; }
    RecordToFile& recordToFile() const { return *recordToFile_; }
    meterlink::analysis::AnalysisLauncher& analysis() const { return *analysis_; }
    meterlink::RecordTable& recordTable() { return RecordTable_; }
    meterlink::TChartControl& ChartPager() { return *ChartPager_; }
    meterlink::RecordLogger& logger() { return *logger_; }
    // None when another controller already existed.
    THidDeviceController* HidCtl() const { return HidCtl_.get(); }
    UsbDeviceList& usbDevices() const { return *devices_; }
    const UsbReportUnwrapper& usbLink() const { return usb_; }
    // The row of the meter's buttons (shown for models that take commands),
    // and the UT-D09 cable's link while it is open.
    RemoteButtons* remoteButtons() const { return remote_; }
    BridgeMeterLink* bridgeLink() const { return bridge_.get(); }

    // The journal beside the log; none while it cannot be written.
    meterlink::Journal& journal() const { return *journal_; }
    // Offers back the logs that earlier sessions left unsaved; the rows
    // restored.
    int offerRecovery();
    // The journal's folder: the user's data folder.
    static QString journalFolder();

    // Whether the machine is a 64-bit x86 or Itanium one (the caption's suffix).
    static bool is64BitSystem();

    // A bench's clock samples this window instead of its own timer, so the
    // bench's windows log at the same instants with the same times; none:
    // the window's own timer and clock again.
    void setBenchClock(meterlink::RecordLogger::FullClock clock);
    bool benchClocked() const { return benchClocked_; }
    // One tick of the bench's clock: logs the latest reading, as Timer3 does.
    void benchTick();

    // Handlers.
    void BitBtn1Click();
    void ConTimerTimer();
    void USBConClick();
    void RECEIVE_COM_Data(TSerialPortDriver* sender, const std::uint8_t* bytes, int size);
    void LcdDisplayKR20C(const meterlink::MeterFrame& frame);
    void INDataToTable();
    void Timer3Timer();
    void RecordNewClick();
    void TbFdClick();
    void TbSxClick();

    // The USB cable: device list and history, adapter link.
    void HidCtlDeviceChange();
    bool HidCtlEnumerate(THidDevice* HidDev, int Idx);
    void HidCtlArrival(THidDevice* HidDev);
    void HidCtlRemoval(THidDevice* HidDev);
    void HidCtlDeviceDataError(THidDevice* HidDev, std::uint32_t Error);
    void ReadBtnClick();
    void ClearBtnClick();
    void InfoBtnClick();
    void SetFeatureClick();
    void USBReadKR20C(THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size);
    void USBReadKR10A(THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size);
    void USBReadKR30B(THidDevice* HidDev, std::uint8_t ReportID, const std::uint8_t* Data, std::uint16_t Size);
    // The log's files and report.
    DataFileCommands& dataFiles() const { return *dataFiles_; }
    void saveasClick();
    void SpeedButton2Click();
    void BtPrintClick();
    void PrintClick() {}   // the hidden "Print" button prints nothing

private:
    void buildLayout();
    void buildMenus();
    void buildRecordGrid(QWidget* parent);
    void FormCreate();
    // An "Error" box for a link that failed to open or was lost.
    void showLinkError(const QString& message);
    // After each logged row: the magnitude bar and the page number follow it.
    void rowLogged(const meterlink::MeterReading& reading);
    // The logging switches as the record bar shows them now.
    void readLoggingSwitches();
    void buildUsbLink(std::shared_ptr<HidPlatform> hid);
    // Binds the profile's report handler to the device: its reading starts.
    void bindUsbReader(THidDevice* device);
    // After a rebuild of the device list: the open link goes on with the same
    // cable, or tells that the cable is gone.
    void resumeUsbLink(const THidPnPInfo& cable);
    void showInformation(const QString& text);
    // ConTimer sleeps until the next link tick that acts.
    void armConTimer();
    // Appends the history line of a report that carried meter bytes.
    void noteReport(UsbReportUnwrapper::Report kind, std::uint8_t reportId, const std::uint8_t* bytes,
                    std::uint16_t size);
    void connectDataFileCommands();
    // The settings the user made in an earlier run, and keeping new ones.
    void applyUserSettings();
    void keepUserSettings();
    void buildMeterMenu();
    // A reading of a meter other than the shipped one, from its decoder.
    void showMeterReading(const meterlink::MeterDecoder& decoder);
    // What every decoded reading does after the LCD: chart axis, judge, bar, log.
    void readingDecoded(meterlink::MeterReading& reading, const meterlink::ChartAxis& axis, bool progressChanged);
    meterlink::MeterReading& currentReading() {
        return meterDecoder_ ? meterDecoder_->mutableReading() : decoder_.mutableReading();
    }
    void startJournal();
    // Meter bytes came over a link; tells the user once when none form a frame.
    void meterBytesArrived(std::size_t n);
    void frameFormed();
    // The caption: the profile's title, and the meter chosen when it is another.
    void showTitle();

    TSerialPortDriver COMM2_;
    meterlink::ModelProfile profile_;
    meterlink::FrameAssembler assembler_;
    meterlink::NibbleFrameAssembler nibbleAssembler_;
    meterlink::ReadingDecoder decoder_;
    const meterlink::MeterModel* meter_ = &meterlink::defaultMeter();
    // The decoder of a chosen meter other than the shipped one; none for it.
    std::unique_ptr<meterlink::MeterDecoder> meterDecoder_;
    UsbReportUnwrapper usb_;
    // Bytes from the meter that never form a frame: most likely another model.
    meterlink::FramelessBytesWatch frameless_;
    QElapsedTimer framelessClock_;
    std::unique_ptr<THidDeviceController> HidCtl_;
    // A polled meter on the UT-D09 cable: its own link, beside the controller's.
    std::shared_ptr<HidPlatform> hid_;
    std::unique_ptr<BridgeMeterLink> bridge_;
    RemoteButtons* remote_ = nullptr;
    void bridgeConClick();
    std::unique_ptr<UsbDeviceList> devices_;
    // The cable the USB link reads, while it reads; empty otherwise.
    std::optional<THidPnPInfo> usbLinkCable_;
    QString DecimalSepText_;
    QLocale LocaleFormat_;
    meterlink::RecordTable RecordTable_;
    std::unique_ptr<meterlink::TChartControl> ChartPager_;
    std::unique_ptr<meterlink::RecordLogger> logger_;
    std::unique_ptr<meterlink::Journal> journal_;
    // The chart's place before it was enlarged: left, top, width, height.
    QRect SavedChartBounds_;

    QFrame* Panel5_ = nullptr;
    ConnectionControl* connection_ = nullptr;
    QPushButton* BitBtn1_ = nullptr;
    LcdPanel* Panel1_ = nullptr;
    QProgressBar* PBar2_ = nullptr;
    RecordBar* Panel2_ = nullptr;
    RecordTableModel* tableModel_ = nullptr;
    RecordGrid* DBGrid1_ = nullptr;
    LimitPanel* limits_ = nullptr;
    LinkIndicator* link_ = nullptr;
    ChartToolbar* ChartToolbar_ = nullptr;
    MeterChart* Chtshow_ = nullptr;
    QLineEdit* systeminfomation_ = nullptr;
    RecordMenu* recordMenu_ = nullptr;
    RecordToFile* recordToFile_ = nullptr;
    meterlink::analysis::AnalysisLauncher* analysis_ = nullptr;
    QMenu* meterMenu_ = nullptr;
    QTimer* ConTimer_ = nullptr;
    DataFileCommands* dataFiles_ = nullptr;
    bool benchClocked_ = false;
};
