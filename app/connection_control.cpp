#include "connection_control.h"

#include "design_font.h"
#include "port_panel.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

namespace {

const QString kComConnection = QStringLiteral("COM Connection");
const QString kComDisconnect = QStringLiteral("COM Disconnect");
const QString kUsbConnection = QStringLiteral("USB Connection");
const QString kUsbDisconnect = QStringLiteral("USB Disconnect");

QPushButton* makeLinkButton(const QString& name, const QString& caption, const QRect& place, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setCheckable(true);
    b->setGeometry(place);
    b->setFont(designFont(QStringLiteral("Arial"), 13));
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, Qt::black);
    b->setPalette(pal);
    return b;
}

QAction* makeAction(const QString& name, const QString& text, QObject* parent) {
    auto* a = new QAction(text, parent);
    a->setObjectName(name);
    return a;
}

}  // namespace

ConnectionControl::ConnectionControl(TSerialPortDriver& driver, QWidget* topBar)
    : QObject(topBar), driver_(driver) {
    for (int n = 1; n <= 4; ++n) {
        auto* panel = new PortPanel(QStringLiteral("COM %1").arg(n), topBar);
        panel->setObjectName(QStringLiteral("BtCOM%1").arg(n));
        panel->setGeometry(5, 3, 61, 24);
        panel->setVisible(n == 1);
        BtCOM_[static_cast<std::size_t>(n - 1)] = panel;
    }
    // The panels are bound crosswise: a click on the shown port moves on to the next.
    connect(BtCOM_[0], &PortPanel::clicked, this, &ConnectionControl::COM21Click);
    connect(BtCOM_[1], &PortPanel::clicked, this, &ConnectionControl::COM31Click);
    connect(BtCOM_[2], &PortPanel::clicked, this, &ConnectionControl::COM41Click);
    connect(BtCOM_[3], &PortPanel::clicked, this, &ConnectionControl::COM11Click);

    COMCon_ = makeLinkButton(QStringLiteral("COMCon"), kComConnection, {76, 3, 125, 25}, topBar);
    USBCon_ = makeLinkButton(QStringLiteral("USBCon"), kUsbConnection, {203, 3, 158, 25}, topBar);
    USBCon_->setToolTip(QStringLiteral("USB Connect"));
    connect(COMCon_, &QPushButton::clicked, this, &ConnectionControl::COMConClick);

    ComSetup1_ = new QMenu(QStringLiteral("ComSetup"), topBar);
    ComSetup1_->setObjectName(QStringLiteral("ComSetup1"));
    void (ConnectionControl::*const selectors[4])() = {
        &ConnectionControl::COM11Click, &ConnectionControl::COM21Click,
        &ConnectionControl::COM31Click, &ConnectionControl::COM41Click};
    for (int n = 1; n <= 4; ++n) {
        QAction* item = makeAction(QStringLiteral("COM%1").arg(n) + QLatin1Char('1'), QStringLiteral("COM%1").arg(n), ComSetup1_);
        item->setCheckable(true);
        item->setChecked(n == 1);
        ComSetup1_->addAction(item);
        connect(item, &QAction::triggered, this, selectors[n - 1]);
        COMItem_[static_cast<std::size_t>(n - 1)] = item;
    }

    Connect1_ = new QMenu(QStringLiteral("Connect"), topBar);
    Connect1_->setObjectName(QStringLiteral("Connect1"));
    START1_ = makeAction(QStringLiteral("START1"), QStringLiteral("START"), Connect1_);
    STOP1_ = makeAction(QStringLiteral("STOP1"), QStringLiteral("STOP"), Connect1_);
    START1_->setCheckable(true);
    STOP1_->setCheckable(true);
    STOP1_->setEnabled(false);
    Connect1_->addAction(START1_);
    Connect1_->addAction(STOP1_);
    connect(START1_, &QAction::triggered, this, &ConnectionControl::BTCon1Click);
    connect(STOP1_, &QAction::triggered, this, &ConnectionControl::BtDiscon1Click);

    BTCon_ = makeAction(QStringLiteral("BTCon"), QStringLiteral("Connect"), this);
    BtDiscon_ = makeAction(QStringLiteral("BtDiscon"), QStringLiteral("Disconnect"), this);
    BtDiscon_->setVisible(false);
    connect(BTCon_, &QAction::triggered, this, &ConnectionControl::BTCon1Click);
    connect(BtDiscon_, &QAction::triggered, this, &ConnectionControl::BtDiscon1Click);

    refreshPortHints();

    // Queued: the message box waits until the driver has finished with the loss.
    connect(&driver_, &TSerialPortDriver::portLostDetected, this,
            [this](const QString& reason) { emit portLost(QStringLiteral("Lost %1: %2").arg(portTitle(), reason)); },
            Qt::QueuedConnection);
    // A polled meter gone quiet is told as a lost port; its readings simply
    // come again when it answers.
    connect(&driver_, &TSerialPortDriver::meterSilentDetected, this,
            [this](const QString& reason) { emit portLost(QStringLiteral("Lost %1: %2").arg(portTitle(), reason)); },
            Qt::QueuedConnection);
}

ConnectionControl::State ConnectionControl::state() const {
    if (COMCon_->isChecked()) return State::ComConnected;
    if (USBCon_->isChecked()) return State::UsbConnected;
    if (USBCon_->text() == kUsbDisconnect) return State::UsbHalted;
    return State::Disconnected;
}

PortPanel* ConnectionControl::visiblePortPanel() const {
    for (PortPanel* p : BtCOM_)
        if (!p->isHidden()) return p;
    return nullptr;
}

void ConnectionControl::COM11Click() { choosePort(TSerialPortDriver::pnCOM1); }
void ConnectionControl::COM21Click() { choosePort(TSerialPortDriver::pnCOM2); }
void ConnectionControl::COM31Click() { choosePort(TSerialPortDriver::pnCOM3); }
void ConnectionControl::COM41Click() { choosePort(TSerialPortDriver::pnCOM4); }

void ConnectionControl::choosePort(TSerialPortDriver::TComPortNumber port) {
    const auto chosen = static_cast<std::size_t>(port);
    for (std::size_t i = 0; i < 4; ++i)
        COMItem_[i]->setChecked(i == chosen);
    for (std::size_t i = 0; i < 4; ++i)
        BtCOM_[i]->setVisible(i == chosen);
    driver_.setComPort(port);
    refreshPortHints();
    emit portChosen(static_cast<int>(chosen) + 1);
}

void ConnectionControl::refreshPortHints() {
    // Tell the user which device "COM n" stands for on this machine.
    for (std::size_t i = 0; i < 4; ++i)
        BtCOM_[i]->setToolTip(TSerialPortDriver::deviceName(static_cast<TSerialPortDriver::TComPortNumber>(i)));
}

QString ConnectionControl::portTitle() const {
    const auto port = driver_.ComPort();
    // A device named for this window (a bench window, a found meter) is the
    // one opened, whatever COM n stands for.
    const QString device = driver_.portPath().isEmpty() ? TSerialPortDriver::deviceName(port) : driver_.portPath();
    return QStringLiteral("COM %1 (%2)").arg(static_cast<int>(port) + 1).arg(device);
}

bool ConnectionControl::openPort() {
    if (driver_.Connect())
        return true;
    emit openFailed(QStringLiteral("Could not open %1: %2").arg(portTitle(), driver_.lastError()));
    return false;
}

void ConnectionControl::showLinkOpen(bool open) {
    ComSetup1_->menuAction()->setEnabled(!open);
    START1_->setChecked(open);
    START1_->setEnabled(!open);
    STOP1_->setEnabled(open);
    STOP1_->setChecked(!open);
    BTCon_->setVisible(!open);
    BtDiscon_->setVisible(open);
    for (PortPanel* p : BtCOM_)
        p->setEnabled(!open);
}

void ConnectionControl::closeLink() {
    driver_.Disconnect();
    showLinkOpen(false);
}

void ConnectionControl::COMConClick() {
    if (COMCon_->isChecked()) {
        // The port is opened first so that a port that cannot be opened never
        // shows as a connection.
        if (!openPort()) {
            COMCon_->setChecked(false);
            return;
        }
        USBCon_->setChecked(false);   // one group: a button going down releases the other
        USBCon_->setVisible(false);
        showLinkOpen(true);
        COMCon_->setText(kComDisconnect);
    } else {
        USBCon_->setVisible(true);
        closeLink();
        COMCon_->setText(kComConnection);
    }
}

void ConnectionControl::BTCon1Click() {
    if (!openPort()) {
        START1_->setChecked(false);   // a triggered START1 has toggled its own mark
        return;
    }
    showLinkOpen(true);
    USBCon_->setChecked(false);
    COMCon_->setChecked(true);
}

void ConnectionControl::BtDiscon1Click() {
    closeLink();
    COMCon_->setChecked(false);
}

void ConnectionControl::showUsbLinkOpen() {
    for (PortPanel* p : BtCOM_)
        p->hide();
    COMCon_->hide();
    USBCon_->setText(kUsbDisconnect);
}

void ConnectionControl::showUsbLinkClosed() {
    BtCOM_[static_cast<std::size_t>(driver_.ComPort())]->show();
    COMCon_->show();
    USBCon_->setText(kUsbConnection);
}
