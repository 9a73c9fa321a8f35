#pragma once
// The program's one window: the live LCD copy, the limit judge, the link
// controls, the record bar and grid, and the chart. It owns the serial driver
// and runs every frame through the decoder on the GUI thread.

#include "links/serial_port_driver.h"
#include "protocol/frame_assembler.h"
#include "protocol/model_profile.h"
#include "protocol/reading_decoder.h"

#include <QLocale>
#include <QMainWindow>
#include <QString>

class ChartToolbar;
class ConnectionControl;
class LcdPanel;
class LimitPanel;
class LinkIndicator;
class MeterChart;
class QFrame;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class RecordBar;

// The text of the task bar button.
constexpr const char* kApplicationTitle = "KR20 B_C_D";

class TFCOMM : public QMainWindow {
    Q_OBJECT
public:
    explicit TFCOMM(QWidget* parent = nullptr);
    ~TFCOMM() override;

    static QString quitQuestion() { return QStringLiteral("Are you sure that you want to quit this application?"); }

    TSerialPortDriver& COMM2() { return COMM2_; }
    const meterlink::ModelProfile& profile() const { return profile_; }
    const meterlink::MeterReading& reading() const { return decoder_.reading(); }
    const QString& DecimalSepText() const { return DecimalSepText_; }
    const QLocale& LocaleFormat() const { return LocaleFormat_; }

    ConnectionControl& connection() const { return *connection_; }
    LimitPanel& limits() const { return *limits_; }
    LinkIndicator& linkIndicator() const { return *link_; }
    LcdPanel* lcd() const { return Panel1_; }
    QProgressBar* PBar2() const { return PBar2_; }
    MeterChart* Chtshow() const { return Chtshow_; }
    QMenu* recordMenu() const { return Record1_; }

    // Whether the machine is a 64-bit x86 or Itanium one (the caption's suffix).
    static bool is64BitSystem();

    // Handlers.
    void BitBtn1Click();
    void ConTimerTimer();
    void USBConClick();
    void RECEIVE_COM_Data(TSerialPortDriver* sender, const std::uint8_t* bytes, int size);
    void LcdDisplayKR20C(const meterlink::MeterFrame& frame);

private:
    void buildLayout();
    void buildMenus();
    void buildRecordGrid(QWidget* parent);
    void FormCreate();
    // An "Error" box for a link that failed to open or was lost.
    void showLinkError(const QString& message);
    // The logging step of each frame; for now it only moves the magnitude bar.
    void INDataToTable();

    TSerialPortDriver COMM2_;
    meterlink::ModelProfile profile_;
    meterlink::FrameAssembler assembler_;
    meterlink::NibbleFrameAssembler nibbleAssembler_;
    meterlink::ReadingDecoder decoder_;
    QString DecimalSepText_;
    QLocale LocaleFormat_;

    QFrame* Panel5_ = nullptr;
    ConnectionControl* connection_ = nullptr;
    QPushButton* BitBtn1_ = nullptr;
    LcdPanel* Panel1_ = nullptr;
    QProgressBar* PBar2_ = nullptr;
    RecordBar* Panel2_ = nullptr;
    QTableView* DBGrid1_ = nullptr;
    LimitPanel* limits_ = nullptr;
    LinkIndicator* link_ = nullptr;
    ChartToolbar* ChartToolbar_ = nullptr;
    MeterChart* Chtshow_ = nullptr;
    QLineEdit* systeminfomation_ = nullptr;
    QMenu* Record1_ = nullptr;
    QTimer* ConTimer_ = nullptr;
};
