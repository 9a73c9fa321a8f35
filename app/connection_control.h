#pragma once
// The serial side of the top bar: which port is chosen (one of four stacked
// port panels, mirrored by check marks in a hidden menu), and the toggle
// buttons that open and close the links. The connection state is not stored:
// it is what these controls show.

#include "links/serial_port_driver.h"

#include <QObject>
#include <QString>

#include <array>

class PortPanel;
class QAction;
class QMenu;
class QPushButton;
class QWidget;

class ConnectionControl : public QObject {
    Q_OBJECT
public:
    enum class State { Disconnected, ComConnected, UsbConnected, UsbHalted };

    // Builds the port panels and the two link buttons on topBar, and the
    // hidden menus and mirrors (not placed anywhere the user sees them).
    ConnectionControl(TSerialPortDriver& driver, QWidget* topBar);

    State state() const;

    QPushButton* COMCon() const { return COMCon_; }
    QPushButton* USBCon() const { return USBCon_; }
    PortPanel* BtCOM(int n) const { return BtCOM_.at(static_cast<std::size_t>(n - 1)); }   // n = 1..4
    PortPanel* visiblePortPanel() const;

    // Hidden menu "ComSetup" and its items COM11..COM41 (n = 1..4).
    QMenu* ComSetup1() const { return ComSetup1_; }
    QAction* COMItem(int n) const { return COMItem_.at(static_cast<std::size_t>(n - 1)); }
    // Hidden menu "Connect" with START1 and STOP1.
    QMenu* Connect1() const { return Connect1_; }
    QAction* START1() const { return START1_; }
    QAction* STOP1() const { return STOP1_; }
    // The hidden "Connect" and "Disconnect" panels; visible() mirrors the panel's.
    QAction* BTCon() const { return BTCon_; }
    QAction* BtDiscon() const { return BtDiscon_; }

    // Click handlers, bound to the controls above.
    void COMConClick();
    void COM11Click();
    void COM21Click();
    void COM31Click();
    void COM41Click();
    void BTCon1Click();
    void BtDiscon1Click();

    // The USB side's looks: the link open (port panels and COMCon hidden,
    // "USB Disconnect"), and closed again (the chosen port's panel and
    // COMCon back, "USB Connection"). Putting USBCon up alone, with the
    // caption left as it is, gives the halted look.
    void showUsbLinkOpen();
    void showUsbLinkClosed();

signals:
    // The user chose COM n (1..4).
    void portChosen(int n);
    // The chosen port could not be opened; the controls stay Disconnected.
    void openFailed(const QString& message);
    // The open port went away (cable pulled, adapter unplugged). Emitted once
    // per loss; the controls keep the ComConnected look until the user closes
    // the link, so the message is the only sign beside the link picture.
    void portLost(const QString& message);

public:
    // "COM n (device)" of the chosen port, for messages and the report.
    QString portTitle() const;

private:
    void choosePort(TSerialPortDriver::TComPortNumber port);
    bool openPort();
    // The controls and hidden mirrors of an open or a closed serial link.
    void showLinkOpen(bool open);
    void closeLink();
    void refreshPortHints();

    TSerialPortDriver& driver_;
    QPushButton* COMCon_ = nullptr;
    QPushButton* USBCon_ = nullptr;
    std::array<PortPanel*, 4> BtCOM_{};
    QMenu* ComSetup1_ = nullptr;
    std::array<QAction*, 4> COMItem_{};
    QMenu* Connect1_ = nullptr;
    QAction* START1_ = nullptr;
    QAction* STOP1_ = nullptr;
    QAction* BTCon_ = nullptr;
    QAction* BtDiscon_ = nullptr;
};
