#pragma once
// The chart of logged readings: record number across, value up, an area
// series and a line series that receive the same points, one shown at a time.

#include <QChartView>

class QAbstractSeries;
class QAreaSeries;
class QLineSeries;
class QValueAxis;

class MeterChart : public QChartView {
    Q_OBJECT
public:
    explicit MeterChart(QWidget* parent = nullptr);

    QValueAxis* recordAxis() const { return recordAxis_; }
    QValueAxis* valueAxis() const { return valueAxis_; }
    // In list order: 0 the area series, 1 the line series.
    QAbstractSeries* series(int index) const;
    int seriesCount() const { return 2; }
    int pointCount() const;

    // Each series gets one point at X 0, left of the first page, so that the
    // first logged reading is record 1.
    void addPlaceholderPoints();
    void addValue(double x, double y);
    void showSeries(int index);
    void setValueRange(double minimum, double maximum);

private:
    QLineSeries* areaLine_ = nullptr;   // the area's upper edge holds its points
    QAreaSeries* Series2_ = nullptr;
    QLineSeries* Series1_ = nullptr;
    QValueAxis* recordAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
};
