#pragma once
// The bar above the chart: the "Fill" switch, the page-size edit, the save
// button, the page buttons around the page number, and the enlarge/restore
// pictures. Only its look is built here; the chart pager drives it.

#include <QFrame>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

class ChartToolbar : public QFrame {
    Q_OBJECT
public:
    explicit ChartToolbar(QWidget* parent = nullptr);

    QCheckBox* BtFill() const { return BtFill_; }
    QLineEdit* Maxrecord() const { return Maxrecord_; }
    QToolButton* BtSave() const { return BtSave_; }
    QToolButton* BtFirst() const { return BtFirst_; }
    QToolButton* BTPrevious() const { return BTPrevious_; }
    QPushButton* Bt10() const { return Bt10_; }
    QToolButton* BtNext() const { return BtNext_; }
    QToolButton* BTlast() const { return BTlast_; }
    QLabel* TbFd() const { return TbFd_; }
    QLabel* TbSx() const { return TbSx_; }

private:
    QCheckBox* BtFill_ = nullptr;
    QLineEdit* Maxrecord_ = nullptr;
    QToolButton* BtSave_ = nullptr;
    QToolButton* BtFirst_ = nullptr;
    QToolButton* BTPrevious_ = nullptr;
    QPushButton* Bt10_ = nullptr;
    QToolButton* BtNext_ = nullptr;
    QToolButton* BTlast_ = nullptr;
    QLabel* TbFd_ = nullptr;
    QLabel* TbSx_ = nullptr;
};
