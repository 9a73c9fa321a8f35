#include "meter_chart.h"

#include "design_font.h"

#include <QAreaSeries>
#include <QLineSeries>
#include <QValueAxis>

MeterChart::MeterChart(QWidget* parent) : QChartView(parent) {
    setObjectName(QStringLiteral("Chtshow"));
    // Axes and grid are straight lines; antialiasing them made each redraw
    // of the chart (at every range change) cost several times more.
    setRenderHint(QPainter::Antialiasing, false);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setRubberBand(QChartView::NoRubberBand);

    QChart* c = chart();
    c->legend()->hide();
    c->setBackgroundRoundness(0);
    c->setBackgroundBrush(QColor(192, 221, 248));
    c->setPlotAreaBackgroundVisible(true);
    c->setPlotAreaBackgroundBrush(Qt::white);
    c->setMargins({1, 1, 4, 1});
    c->setTitleFont(designFont(QStringLiteral("Arial"), 13));
    c->setTitleBrush(Qt::blue);
    c->setTitle(QStringLiteral("  "));
    c->setAnimationOptions(QChart::NoAnimation);

    areaLine_ = new QLineSeries(this);
    Series2_ = new QAreaSeries(areaLine_);
    Series2_->setObjectName(QStringLiteral("Series2"));
    Series2_->setBrush(QColor(255, 255, 128));
    Series2_->setPen(QPen(QColor(0, 128, 255), 1));
    Series1_ = new QLineSeries;
    Series1_->setObjectName(QStringLiteral("Series1"));
    Series1_->setPen(QPen(QColor(128, 255, 0), 1));
    c->addSeries(Series2_);
    c->addSeries(Series1_);

    QFont axisFont = windowFont();
    axisFont.setBold(false);
    recordAxis_ = new QValueAxis;
    recordAxis_->setTitleText(QStringLiteral("Record Number"));
    recordAxis_->setTitleFont(axisFont);
    recordAxis_->setLabelsFont(axisFont);
    recordAxis_->setLabelFormat(QStringLiteral("%d"));
    recordAxis_->setRange(1, 100);
    valueAxis_ = new QValueAxis;
    valueAxis_->setTitleText(QStringLiteral("Value"));
    valueAxis_->setTitleFont(axisFont);
    valueAxis_->setLabelsFont(axisFont);
    valueAxis_->setLabelFormat(QStringLiteral("%g"));
    valueAxis_->setMinorTickCount(4);
    valueAxis_->setLinePen(QPen(QColor(0, 64, 128), 1, Qt::DashLine));
    c->addAxis(recordAxis_, Qt::AlignBottom);
    c->addAxis(valueAxis_, Qt::AlignLeft);
    for (QAbstractSeries* s : c->series()) {
        s->attachAxis(recordAxis_);
        s->attachAxis(valueAxis_);
    }
    // Hairline pens draw the same one-pixel lines; a line item with a pen of
    // any other width works out its outline on every range change. Set once
    // the chart's theme has given the pens their colours and dashes. The
    // labels are short numbers that always fit, so they are not measured for
    // truncation at every range change either.
    for (QValueAxis* axis : {recordAxis_, valueAxis_}) {
        axis->setTruncateLabels(false);
        QPen grid = axis->gridLinePen();
        grid.setWidth(0);
        axis->setGridLinePen(grid);
        QPen minorGrid = axis->minorGridLinePen();
        minorGrid.setWidth(0);
        axis->setMinorGridLinePen(minorGrid);
        QPen line = axis->linePen();
        line.setWidth(0);
        axis->setLinePen(line);
    }
}

QAbstractSeries* MeterChart::series(int index) const {
    return index == 0 ? static_cast<QAbstractSeries*>(Series2_) : Series1_;
}

int MeterChart::pointCount() const { return areaLine_->count(); }

void MeterChart::addPlaceholderPoints() { addValue(0, 0); }

void MeterChart::addValue(double x, double y) {
    areaLine_->append(x, y);
    Series1_->append(x, y);
}

void MeterChart::showSeries(int index) {
    for (int i = 0; i < seriesCount(); ++i)
        series(i)->setVisible(i == index);
}

void MeterChart::setValueRange(double minimum, double maximum) {
    // Every frame sets the range; only a real change should re-lay the chart out.
    if (valueAxis_->min() == minimum && valueAxis_->max() == maximum)
        return;
    valueAxis_->setRange(minimum, maximum);
}
