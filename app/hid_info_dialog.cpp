#include "hid_info_dialog.h"

#include "links/hid_device.h"
#include "links/usb_device_list.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

HidInfoDialog::HidInfoDialog(THidDevice& device, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("HidInfo"));
    setWindowTitle(QStringLiteral("Info"));
    const HidAttributes& a = device.Attributes();
    const auto hex4 = [](unsigned v) { return QString::asprintf("%04X", v); };
    const std::pair<const char*, QString> rows[] = {
        {"Device", UsbDeviceList::DeviceCaption(&device)},
        {"Vendor ID", hex4(a.VendorID)},
        {"Product ID", hex4(a.ProductID)},
        {"Version", hex4(a.VersionNumber)},
        {"Product", device.ProductText()},
        {"Serial number", device.SerialText()},
        {"Input report", QStringLiteral("%1 bytes").arg(device.InputReportByteLength())},
        {"Access", device.ReadWriteAccess() ? QStringLiteral("read and write") : QStringLiteral("queries only")},
        {"Path", QString::fromStdString(device.PnPInfo().DevicePath)},
    };
    auto* form = new QFormLayout;
    for (const auto& [label, value] : rows) {
        auto* text = new QLabel(value);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(QString::fromLatin1(label) + QLatin1Char(':'), text);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}
