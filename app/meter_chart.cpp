#include "meter_chart.h"

#include "design_font.h"

#include "recording/chart_pager.h"

#include <QAreaSeries>
#include <QComboBox>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>

#include <algorithm>

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

    ComboBox1_ = new QComboBox(this);
    ComboBox1_->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1_->addItems({QStringLiteral("atile"), QStringLiteral("btile")});
    ComboBox1_->hide();
}

QAbstractSeries* MeterChart::series(int index) const {
    return index == 0 ? static_cast<QAbstractSeries*>(Series2_) : Series1_;
}

QLineSeries* MeterChart::line(int index) const { return index == 0 ? areaLine_ : Series1_; }

int MeterChart::shownPointCount() const { return static_cast<int>(line(shown_)->count()); }

void MeterChart::setPager(meterlink::TChartControl* pager) {
    pager_ = pager;
    pager_->setListener({[this] { showWindow(); }, [this](std::size_t x) { onPointAdded(x); }});
    showWindow();
}

void MeterChart::showWindow() {
    const double minimum = pager_->windowMinimum();
    const double maximum = pager_->windowMaximum();
    if (recordAxis_->min() != minimum || recordAxis_->max() != maximum)
        recordAxis_->setRange(minimum, maximum);
    // One point beyond each end, so the line runs to the edges of the page.
    const std::size_t count = pager_->pointCount();
    const double from = std::max(0.0, minimum - 1);
    firstX_ = static_cast<std::size_t>(from);
    lastX_ = count == 0 ? 0 : std::min(count - 1, static_cast<std::size_t>(std::max(0.0, maximum + 1)));
    QList<QPointF> points;
    if (count > 0 && firstX_ <= lastX_) {
        points.reserve(static_cast<qsizetype>(lastX_ - firstX_ + 1));
        for (std::size_t x = firstX_; x <= lastX_; ++x)
            points.append(QPointF(static_cast<double>(x), pager_->value(x)));
    } else {
        firstX_ = 1;
        lastX_ = 0;
    }
    // Only the shown series is fed; the hidden one gets the page when shown.
    line(shown_)->replace(points);
    line(1 - shown_)->clear();
}

void MeterChart::onPointAdded(std::size_t x) {
    const auto at = static_cast<double>(x);
    if (at < pager_->windowMinimum() - 1 || at > pager_->windowMaximum() + 1) return;
    const bool nothingShown = firstX_ > lastX_;
    if (!nothingShown && x != lastX_ + 1) return;
    if (nothingShown) firstX_ = x;
    lastX_ = x;
    line(shown_)->append(at, pager_->value(x));
}

void MeterChart::showSeries(int index) {
    shown_ = index;
    for (int i = 0; i < seriesCount(); ++i)
        series(i)->setVisible(i == index);
    if (pager_) showWindow();
}

void MeterChart::setValueRange(double minimum, double maximum) {
    // Every frame sets the range; only a real change should re-lay the chart out.
    if (valueAxis_->min() == minimum && valueAxis_->max() == maximum)
        return;
    valueAxis_->setRange(minimum, maximum);
}

QImage MeterChart::picture() {
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    render(&painter);
    return image;
}
