#pragma once
// The bar above the chart: the "Fill" switch, the page-size edit, the save
// button, the page buttons around the page number, and the enlarge/restore
// pictures; also the hidden "Graphic" menu with the same commands. It drives
// the chart pager and the chart view.

#include <QFrame>

class MeterChart;
class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class QToolButton;

namespace meterlink {
class TChartControl;
}

class ChartToolbar : public QFrame {
    Q_OBJECT
public:
    explicit ChartToolbar(QWidget* parent = nullptr);

    // The most rows a page may hold. The chart is a few hundred pixels wide:
    // beyond this, rows crowd dozens to a pixel column, and a stretch of
    // readings at a page's edge disappears under the axis.
    static constexpr int kMostPageSize = 10000;
    static QString pageSizeRefusedText();

    // The pager and the chart the toolbar drives.
    void attach(meterlink::TChartControl* pager, MeterChart* chart);

    QCheckBox* BtFill() const { return BtFill_; }
    QLineEdit* Maxrecord() const { return Maxrecord_; }
    QToolButton* BtSave() const { return BtSave_; }
    // Opens the analysis window.
    QToolButton* BtAnalysis() const { return BtAnalysis_; }
    QToolButton* BtFirst() const { return BtFirst_; }
    QToolButton* BTPrevious() const { return BTPrevious_; }
    QPushButton* Bt10() const { return Bt10_; }
    QToolButton* BtNext() const { return BtNext_; }
    QToolButton* BTlast() const { return BTlast_; }
    QLabel* TbFd() const { return TbFd_; }
    QLabel* TbSx() const { return TbSx_; }
    QTimer* Timer2() const { return Timer2_; }
    // The hidden menu "Graphic" and its "Fill" item.
    QMenu* Graphic() const { return Graphic_; }
    QAction* FillItem() const { return FillItem_; }

    // Handlers.
    void btFillClick();
    void FillClick();
    void ComboBox1Change(int index);
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void MaxrecordChange();
    void Timer2Timer();
    void BtSaveClick();
    void BtNewClick();
    // Bt10 shows the pager's current page.
    void showPageNumber();

signals:
    void enlargeClicked();   // TbFd
    void restoreClicked();   // TbSx

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showChosenSeries();

    meterlink::TChartControl* pager_ = nullptr;
    MeterChart* chart_ = nullptr;
    QCheckBox* BtFill_ = nullptr;
    QLineEdit* Maxrecord_ = nullptr;
    QToolButton* BtSave_ = nullptr;
    QToolButton* BtAnalysis_ = nullptr;
    QToolButton* BtFirst_ = nullptr;
    QToolButton* BTPrevious_ = nullptr;
    QPushButton* Bt10_ = nullptr;
    QToolButton* BtNext_ = nullptr;
    QToolButton* BTlast_ = nullptr;
    QLabel* TbFd_ = nullptr;
    QLabel* TbSx_ = nullptr;
    QTimer* Timer2_ = nullptr;
    QMenu* Graphic_ = nullptr;
    QAction* FillItem_ = nullptr;
};
