#pragma once
// A small modal window with what is known of one HID device: its caption,
// identifiers, strings, report length and how it could be opened.

#include <QDialog>

class THidDevice;

class HidInfoDialog : public QDialog {
    Q_OBJECT
public:
    HidInfoDialog(THidDevice& device, QWidget* parent);
};
