#pragma once
// The chart of logged readings: record number across, value up, an area
// series and a line series, one shown at a time. The points live in the
// chart pager; this view is handed only those of the page it shows, so its
// memory and drawing cost stay those of one page however long the log grows.

#include <QChartView>

class QAbstractSeries;
class QAreaSeries;
class QComboBox;
class QLineSeries;
class QValueAxis;

namespace meterlink {
class TChartControl;
}

class MeterChart : public QChartView {
    Q_OBJECT
public:
    explicit MeterChart(QWidget* parent = nullptr);

    // Shows the pager's window and points from now on.
    void setPager(meterlink::TChartControl* pager);

    QValueAxis* recordAxis() const { return recordAxis_; }
    // The value axis, with a range set since taken in first.
    QValueAxis* valueAxis() const;
    // In list order: 0 the area series, 1 the line series.
    QAbstractSeries* series(int index) const;
    int seriesCount() const { return 2; }
    // Index of the series shown.
    int shownSeries() const { return shown_; }
    // Points handed to the shown series (those of the visible window).
    int shownPointCount() const;
    // Hands the pager's window to the chart now; it happens by itself once
    // the event loop is free after the pager changed.
    void sync();

    // The hidden series chooser ("atile", "btile").
    QComboBox* ComboBox1() const { return ComboBox1_; }

    void showSeries(int index);
    // Taken in with the next points (see sync): a frame that changes the
    // range and logs a point lays the chart out and paints it once.
    void setValueRange(double minimum, double maximum);
    // The chart drawn at its on-screen size on a white background.
    QImage picture();

private:
    void applyRange();
    void scheduleSync();
    QLineSeries* line(int index) const;

    meterlink::TChartControl* pager_ = nullptr;
    QLineSeries* areaLine_ = nullptr;   // the area's upper edge holds its points
    QAreaSeries* Series2_ = nullptr;
    QLineSeries* Series1_ = nullptr;
    QValueAxis* recordAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    QComboBox* ComboBox1_ = nullptr;
    int shown_ = 0;
    bool syncPending_ = false;
    // The value range set but not yet handed to the axis.
    bool rangePending_ = false;
    double pendingMin_ = 0, pendingMax_ = 0;
    // X range of the points handed over: [firstX_, lastX_], empty when first > last.
    std::size_t firstX_ = 1;
    std::size_t lastX_ = 0;
};
