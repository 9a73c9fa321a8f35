#include "meter_chart.h"

#include "design_font.h"

#include "recording/chart_pager.h"

#include <QAreaSeries>
#include <QComboBox>
#include <QCoreApplication>
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
    Series2_->setPen(QPen(QColor(0, 128, 255), 0));
    Series1_ = new QLineSeries;
    Series1_->setObjectName(QStringLiteral("Series1"));
    Series1_->setPen(QPen(QColor(128, 255, 0), 0));
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
    // The four minor ticks mark the axis; as lines across the whole plot they
    // cost more to draw than everything else in it.
    valueAxis_->setMinorGridLineVisible(false);
    valueAxis_->setLinePen(QPen(QColor(0, 64, 128), 0, Qt::DashLine));
    c->addAxis(recordAxis_, Qt::AlignBottom);
    c->addAxis(valueAxis_, Qt::AlignLeft);
    for (QAbstractSeries* s : c->series()) {
        s->attachAxis(recordAxis_);
        s->attachAxis(valueAxis_);
    }
    // Every line of the chart is a one-pixel cosmetic pen (width 0), set once
    // the chart's theme has given the pens their colours and dashes: for a
    // pen of width 1 the scene works out each line's outline at every repaint,
    // which was most of the chart's cost. The labels are short numbers that
    // always fit, so they are not measured for truncation either.
    for (QValueAxis* axis : {recordAxis_, valueAxis_}) {
        axis->setTruncateLabels(false);
        for (auto [get, set] : {std::pair{&QValueAxis::gridLinePen, &QValueAxis::setGridLinePen},
                                std::pair{&QValueAxis::minorGridLinePen, &QValueAxis::setMinorGridLinePen},
                                std::pair{&QValueAxis::linePen, &QValueAxis::setLinePen}}) {
            QPen pen = (axis->*get)();
            pen.setWidth(0);
            (axis->*set)(pen);
        }
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
    pager_->setListener({[this] { scheduleSync(); }, [this](std::size_t) { scheduleSync(); }});
    sync();
}

void MeterChart::scheduleSync() {
    // Readings that come in a burst are drawn together, once the event loop
    // is free again: the chart is laid out once, not once per point.
    if (syncPending_) return;
    syncPending_ = true;
    QMetaObject::invokeMethod(this, &MeterChart::sync, Qt::QueuedConnection);
}

QValueAxis* MeterChart::valueAxis() const {
    const_cast<MeterChart*>(this)->applyRange();
    return valueAxis_;
}

void MeterChart::applyRange() {
    if (!rangePending_) return;
    rangePending_ = false;
    if (valueAxis_->min() != pendingMin_ || valueAxis_->max() != pendingMax_)
        valueAxis_->setRange(pendingMin_, pendingMax_);
}

void MeterChart::sync() {
    syncPending_ = false;
    applyRange();
    if (!pager_) return;
    const double minimum = pager_->windowMinimum();
    const double maximum = pager_->windowMaximum();
    const bool moved = recordAxis_->min() != minimum || recordAxis_->max() != maximum;
    if (moved) recordAxis_->setRange(minimum, maximum);

    // The points of the window and one beyond each end, so the line runs to
    // the edges of the page.
    const std::size_t count = pager_->pointCount();
    std::size_t first = static_cast<std::size_t>(std::max(0.0, minimum - 1));
    std::size_t last = 0;
    if (count == 0 || first > count - 1) {
        first = 1;   // none
    } else {
        last = std::min(count - 1, static_cast<std::size_t>(std::max(0.0, maximum + 1)));
    }
    QLineSeries* shown = line(shown_);
    const bool none = first > last;
    const bool grows = !moved && !none && firstX_ <= lastX_ && first == firstX_ && last >= lastX_ &&
                       shown->count() == static_cast<qsizetype>(lastX_ - firstX_ + 1);
    if (grows) {
        for (std::size_t x = lastX_ + 1; x <= last; ++x)
            shown->append(static_cast<double>(x), pager_->value(x));
    } else {
        QList<QPointF> points;
        if (!none) {
            points.reserve(static_cast<qsizetype>(last - first + 1));
            for (std::size_t x = first; x <= last; ++x)
                points.append(QPointF(static_cast<double>(x), pager_->value(x)));
        }
        shown->replace(points);
    }
    firstX_ = first;
    lastX_ = none ? 0 : last;
    // Only the shown series is fed; the hidden one gets the page when shown.
    QLineSeries* hidden = line(1 - shown_);
    if (hidden->count() > 0) hidden->clear();
    // The scene queues its redraw of what changed; taken now, the chart is
    // painted together with the rest of the window instead of in a paint of
    // its own one pass later.
    QCoreApplication::sendPostedEvents(scene(), QEvent::MetaCall);
}

void MeterChart::showSeries(int index) {
    shown_ = index;
    for (int i = 0; i < seriesCount(); ++i)
        series(i)->setVisible(i == index);
    if (pager_) {
        firstX_ = 1;   // the newly shown series gets the whole page
        lastX_ = 0;
        sync();
    }
}

void MeterChart::setValueRange(double minimum, double maximum) {
    // Every frame sets the range; only a real change should re-lay the chart
    // out, and only once the frame's point is there too: applied at once, the
    // new range and the new point were laid out and painted one after the other.
    const bool same = rangePending_ ? pendingMin_ == minimum && pendingMax_ == maximum
                                    : valueAxis_->min() == minimum && valueAxis_->max() == maximum;
    if (same) return;
    rangePending_ = true;
    pendingMin_ = minimum;
    pendingMax_ = maximum;
    scheduleSync();
}

QImage MeterChart::picture() {
    if (syncPending_) sync();
    QImage image(size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    render(&painter);
    return image;
}
