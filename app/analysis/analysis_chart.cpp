#include "analysis_chart.h"

#include "axis_ticks.h"
#include "log_trace.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace meterlink::analysis {

namespace {

const QColor kFailShade(255, 0, 0, 38);
const QColor kLimitColour(200, 0, 0);
const QColor kGridColour(225, 228, 235);
const QColor kCursorColour[2] = {QColor(0, 120, 60), QColor(150, 0, 150)};
const QColor kMarkColour(220, 110, 0);
constexpr double kPanStep = 0.1;

// Maps between the view and a plot rectangle.
struct Mapping {
    QRectF plot;
    ViewSpan view;
    double x(double t) const { return plot.left() + (t - view.t0) / view.timeSpan() * plot.width(); }
    double y(double v) const { return plot.bottom() - (v - view.v0) / view.valueSpan() * plot.height(); }
    double t(double x) const { return view.t0 + (x - plot.left()) / plot.width() * view.timeSpan(); }
    double v(double y) const { return view.v0 + (plot.bottom() - y) / plot.height() * view.valueSpan(); }
    // Keeps far-off points drawable.
    double clampY(double y) const { return std::clamp(y, plot.top() - 1e4, plot.bottom() + 1e4); }
};

QString unitLabel(const SiPrefix& prefix, BaseUnit unit) {
    const std::string_view s = baseUnitSymbol(unit);
    return prefix.symbol + QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

AnalysisChart::AnalysisChart(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("AnalysisChart"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(320, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void AnalysisChart::setTraces(std::vector<const LogTrace*> traces) {
    traces_ = std::move(traces);
    update();
}

void AnalysisChart::setUnit(BaseUnit unit) {
    if (unit == unit_) return;
    unit_ = unit;
    valuesChosen_ = false;
    fitValues();
    update();
    emit viewChanged();
}

void AnalysisChart::setLimits(std::optional<double> high, std::optional<double> low) {
    high_ = high;
    low_ = low;
    update();
}

QRectF AnalysisChart::plotRectFor(const QRect& area) const {
    const QFontMetrics fm(font());
    const double left = fm.horizontalAdvance(QStringLiteral("-000.000")) + 14;
    const double bottom = 2 * fm.height() + 10;
    const double top = fm.height() + 10;   // the legend
    return QRectF(area.left() + left, area.top() + top, std::max(10.0, area.width() - left - 14),
                  std::max(10.0, area.height() - top - bottom));
}

double AnalysisChart::timeAt(double x) const { return Mapping{plotRect(), view_}.t(x); }
double AnalysisChart::valueAt(double y) const { return Mapping{plotRect(), view_}.v(y); }
double AnalysisChart::xOf(double t) const { return Mapping{plotRect(), view_}.x(t); }
double AnalysisChart::yOf(double v) const { return Mapping{plotRect(), view_}.y(v); }

double AnalysisChart::newestTime() const {
    if (traces_.empty() || traces_[0]->rowCount() == 0) return -INFINITY;
    const LogTrace& live = *traces_[0];
    return live.timeline().at(live.rowCount() - 1) + live.shiftMs();
}

std::optional<std::pair<double, double>> AnalysisChart::valueExtent(double t0, double t1) const {
    std::optional<std::pair<double, double>> e;
    for (const LogTrace* trace : traces_) {
        const int n = trace->rowCount();
        const int first = std::min(trace->timeline().lowerBound(t0 - trace->shiftMs()), n);
        const int end = std::min(trace->timeline().lowerBound(std::nextafter(t1 - trace->shiftMs(), INFINITY)), n);
        if (first >= end) continue;
        const UnitStatistics s = trace->statistics().range(static_cast<std::size_t>(first),
                                                           static_cast<std::size_t>(end), unit_);
        if (!s.min || !s.max) continue;
        if (!e)
            e = std::make_pair(s.min->value, s.max->value);
        else
            e = std::make_pair(std::min(e->first, s.min->value), std::max(e->second, s.max->value));
    }
    return e;
}

void AnalysisChart::fitValues() {
    if (valuesChosen_) return;
    const auto e = valueExtent(view_.t0, view_.t1);
    if (!e) return;
    const ViewSpan fit = ViewSpan::fitting(view_.t0, view_.t1, e->first, e->second);
    view_.v0 = fit.v0;
    view_.v1 = fit.v1;
}

void AnalysisChart::showAll() {
    double t0 = INFINITY, t1 = -INFINITY;
    for (const LogTrace* trace : traces_) {
        if (trace->rowCount() == 0) continue;
        t0 = std::min(t0, trace->timeline().first() + trace->shiftMs());
        t1 = std::max(t1, trace->timeline().at(trace->rowCount() - 1) + trace->shiftMs());
    }
    if (!(t1 >= t0)) {
        view_ = ViewSpan::fitting(NAN, NAN, NAN, NAN);
    } else {
        const auto e = valueExtent(t0, t1);
        view_ = ViewSpan::fitting(t0, t1, e ? e->first : NAN, e ? e->second : NAN);
    }
    valuesChosen_ = false;
    setFollowing(true);
    update();
    emit viewChanged();
}

void AnalysisChart::setView(const ViewSpan& view) {
    view_ = view;
    update();
    emit viewChanged();
}

void AnalysisChart::setFollowing(bool on) {
    if (on && !following_ && !traces_.empty()) {
        const double newest = newestTime();
        if (std::isfinite(newest) && view_.t1 < newest) {
            view_ = view_.panned(newest - view_.t1 + view_.timeSpan() * 0.02, 0);
            fitValues();
            update();
            emit viewChanged();
        }
    }
    if (on == following_) return;
    following_ = on;
    emit followingChanged(on);
}

void AnalysisChart::rowsArrived() {
    if (!following_) {
        update();   // only the statistics change; the view stays
        return;
    }
    const double newest = newestTime();
    if (!std::isfinite(newest)) return;
    const ViewSpan before = view_;
    if (newest > view_.t1) view_ = view_.panned(newest - view_.t1 + view_.timeSpan() * 0.02, 0);
    fitValues();
    if (view_ == before && std::isfinite(drawnNewest_) && drawnNewest_ >= view_.t0) {
        // The view stands: only the strip from the row drawn last to the new ones changes.
        const QRectF plot = plotRect();
        const int from = static_cast<int>(std::floor(xOf(drawnNewest_))) - 3;
        update(QRect(from, static_cast<int>(plot.top()) - 1, static_cast<int>(plot.right()) + 2 - from,
                     static_cast<int>(plot.height()) + 3));
    } else {
        update();
        emit viewChanged();
    }
    drawnNewest_ = newest;
}

void AnalysisChart::userView(const ViewSpan& view, bool valuesChosen) {
    view_ = view;
    valuesChosen_ = valuesChosen_ || valuesChosen;
    if (!valuesChosen_) fitValues();
    const double newest = newestTime();
    const bool newestInView = !std::isfinite(newest) || (newest >= view_.t0 && newest <= view_.t1);
    setFollowing(newestInView);
    update();
    emit viewChanged();
}

void AnalysisChart::setCursorA(std::optional<double> t) {
    cursorA_ = t;
    update();
    emit cursorsChanged();
}

void AnalysisChart::setCursorB(std::optional<double> t) {
    cursorB_ = t;
    update();
    emit cursorsChanged();
}

int AnalysisChart::nearestRow(const LogTrace& trace, double t) {
    const int n = trace.rowCount();
    if (n == 0) return -1;
    const RowTimeline& line = trace.timeline();
    const double at = t - trace.shiftMs();
    const int after = std::min(line.lowerBound(at), n - 1);
    if (after > 0 && at - line.at(after - 1) <= line.at(after) - at) return after - 1;
    return after;
}

// ---- interaction ----

void AnalysisChart::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const double factor = wheelZoomFactor(delta);
    const QPointF at = event->position();
    if (event->modifiers() & Qt::ControlModifier)
        userView(view_.zoomedValue(factor, valueAt(at.y())), true);
    else
        userView(view_.zoomedTime(factor, timeAt(at.x())), false);
    event->accept();
}

void AnalysisChart::mousePressEvent(QMouseEvent* event) {
    pressAt_ = dragAt_ = event->position();
    pressView_ = view_;
    moved_ = false;
    if (event->button() == Qt::RightButton || (event->modifiers() & Qt::ShiftModifier))
        drag_ = Drag::Band;
    else if (event->button() == Qt::LeftButton)
        drag_ = Drag::Pan;
    event->accept();
}

void AnalysisChart::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    crosshair_ = plotRect().contains(at) ? std::optional<QPointF>(at) : std::nullopt;
    emit crosshairMoved();
    if (drag_ != Drag::None && (at - pressAt_).manhattanLength() >= 4) moved_ = true;
    if (drag_ == Drag::Pan && moved_) {
        const QRectF plot = plotRect();
        const double dt = -(at.x() - pressAt_.x()) / plot.width() * pressView_.timeSpan();
        const double dv = (at.y() - pressAt_.y()) / plot.height() * pressView_.valueSpan();
        userView(pressView_.panned(dt, dv), std::fabs(at.y() - pressAt_.y()) >= 4 || valuesChosen_);
        return;
    }
    dragAt_ = at;
    update();
}

void AnalysisChart::mouseReleaseEvent(QMouseEvent* event) {
    const Drag drag = drag_;
    drag_ = Drag::None;
    const QPointF at = event->position();
    if (drag == Drag::Band && moved_) {
        const ViewSpan next = view_.zoomedTo(timeAt(pressAt_.x()), timeAt(at.x()), valueAt(pressAt_.y()),
                                             valueAt(at.y()));
        if (!(next == view_)) userView(next, true);
    } else if (!moved_ && plotRect().contains(at)) {
        if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier))
            setCursorA(timeAt(at.x()));
        else if (event->button() == Qt::RightButton)
            setCursorB(timeAt(at.x()));
    }
    update();
}

void AnalysisChart::mouseDoubleClickEvent(QMouseEvent* event) {
    drag_ = Drag::None;
    showAll();
    event->accept();
}

void AnalysisChart::leaveEvent(QEvent*) {
    crosshair_.reset();
    emit crosshairMoved();
    update();
}

void AnalysisChart::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const QPointF middle = plotRect().center();
    const QPointF anchor = crosshair_.value_or(middle);
    switch (event->key()) {
    case Qt::Key_Left: userView(view_.panned(-kPanStep * view_.timeSpan(), 0), false); break;
    case Qt::Key_Right: userView(view_.panned(kPanStep * view_.timeSpan(), 0), false); break;
    case Qt::Key_Up: userView(view_.panned(0, kPanStep * view_.valueSpan()), true); break;
    case Qt::Key_Down: userView(view_.panned(0, -kPanStep * view_.valueSpan()), true); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        if (ctrl)
            userView(view_.zoomedValue(kZoomStep, valueAt(anchor.y())), true);
        else
            userView(view_.zoomedTime(kZoomStep, timeAt(anchor.x())), false);
        break;
    case Qt::Key_Minus:
        if (ctrl)
            userView(view_.zoomedValue(1 / kZoomStep, valueAt(anchor.y())), true);
        else
            userView(view_.zoomedTime(1 / kZoomStep, timeAt(anchor.x())), false);
        break;
    case Qt::Key_Z:
        if (cursorA_ && cursorB_ && *cursorA_ != *cursorB_) {
            ViewSpan next = view_;
            next.t0 = std::min(*cursorA_, *cursorB_);
            next.t1 = std::max(*cursorA_, *cursorB_);
            valuesChosen_ = false;
            userView(next, false);
        }
        break;
    case Qt::Key_Home: showAll(); break;
    case Qt::Key_A: setCursorA(timeAt(anchor.x())); break;
    case Qt::Key_B: setCursorB(timeAt(anchor.x())); break;
    case Qt::Key_Escape:
    case Qt::Key_Delete:
        cursorA_.reset();
        cursorB_.reset();
        update();
        emit cursorsChanged();
        break;
    case Qt::Key_F: setFollowing(!following_); break;
    default: QWidget::keyPressEvent(event); return;
    }
    event->accept();
}

// ---- painting ----

void AnalysisChart::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    paintChart(p, rect(), event->rect());
    if (drag_ == Drag::Band && moved_) {
        p.setPen(QPen(QColor(40, 80, 200), 1, Qt::DashLine));
        p.setBrush(QColor(40, 80, 200, 30));
        p.drawRect(QRectF(pressAt_, dragAt_).normalized());
    }
}

void AnalysisChart::paintChart(QPainter& p, const QRect& area, const QRect& exposed) const {
    const QRectF plot = plotRectFor(area);
    // Only the columns under the exposed part are asked for: a live row
    // redraws a strip at the right, not the whole log.
    const int allColumns = std::max(1, static_cast<int>(plot.width()));
    std::pair<int, int> columns{0, allColumns};
    if (!exposed.isNull()) {
        columns.first = std::clamp(static_cast<int>(std::floor(exposed.left() - plot.left())) - 2, 0, allColumns);
        columns.second = std::clamp(static_cast<int>(std::ceil(exposed.right() - plot.left())) + 3, columns.first,
                                    allColumns);
    }
    const Mapping map{plot, view_};
    const QFontMetrics fm(font());
    p.setFont(font());
    p.fillRect(area, Qt::white);
    p.fillRect(plot, QColor(252, 252, 255));

    // Grid and labels.
    const int offset = traces_.empty() ? 0 : traces_[0]->timeline().offsetMinutes();
    const ValueTicks vt = valueTicks(view_.v0, view_.v1, std::max(2, static_cast<int>(plot.height() / 36)));
    const TimeTicks tt = timeTicks(view_.t0, view_.t1, std::max(2, static_cast<int>(plot.width() / 120)), offset);
    p.setPen(kGridColour);
    for (double v : vt.values) p.drawLine(QLineF(plot.left(), map.y(v), plot.right(), map.y(v)));
    for (double t : tt.times) p.drawLine(QLineF(map.x(t), plot.top(), map.x(t), plot.bottom()));
    // Labels and legend only where the exposed part reaches them.
    const bool all = exposed.isNull();
    p.setPen(Qt::black);
    if (all || exposed.left() < plot.left())
        for (double v : vt.values)
        p.drawText(QRectF(area.left(), map.y(v) - fm.height() / 2.0, plot.left() - area.left() - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, vt.label(v));
    if (all || exposed.bottom() > plot.bottom())
        for (std::size_t i = 0; i < tt.times.size(); ++i)
            p.drawText(QRectF(map.x(tt.times[i]) - 80, plot.bottom() + 4, 160, 2 * fm.height() + 4),
                   Qt::AlignHCenter | Qt::AlignTop, tt.labels[i]);
    p.drawText(QRectF(area.left() + 2, area.top() + 2, plot.left() - area.left(), fm.height() + 4),
               Qt::AlignLeft | Qt::AlignVCenter, unitLabel(vt.prefix, unit_));

    p.save();
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    for (const LogTrace* trace : traces_) drawMarks(p, plot, *trace, view_, columns);
    for (const LogTrace* trace : traces_) drawTrace(p, plot, *trace, view_, columns);

    // Limit lines.
    p.setRenderHint(QPainter::Antialiasing, false);
    const auto limitLine = [&](const std::optional<double>& limit, const QString& name) {
        if (!limit || *limit < view_.v0 || *limit > view_.v1) return;
        const double y = map.y(*limit);
        p.setPen(QPen(kLimitColour, 1, Qt::DashLine));
        p.drawLine(QLineF(plot.left(), y, plot.right(), y));
        p.drawText(QPointF(plot.right() - fm.horizontalAdvance(name) - 4, y - 3), name);
    };
    limitLine(high_, QStringLiteral("High"));
    limitLine(low_, QStringLiteral("Low"));

    // Cursors.
    const auto cursorLine = [&](const std::optional<double>& t, int which) {
        if (!t || *t < view_.t0 || *t > view_.t1) return;
        const double x = map.x(*t);
        p.setPen(QPen(kCursorColour[which], 1.5));
        p.drawLine(QLineF(x, plot.top(), x, plot.bottom()));
        const QString name = which == 0 ? QStringLiteral("A") : QStringLiteral("B");
        const QRectF box(x - 8, plot.top(), 16, fm.height() + 2);
        p.fillRect(box, kCursorColour[which]);
        p.setPen(Qt::white);
        p.drawText(box, Qt::AlignCenter, name);
    };
    cursorLine(cursorA_, 0);
    cursorLine(cursorB_, 1);

    if (crosshair_ && area == rect()) {
        p.setPen(QPen(QColor(90, 90, 90), 1, Qt::DotLine));
        p.drawLine(QLineF(crosshair_->x(), plot.top(), crosshair_->x(), plot.bottom()));
        p.drawLine(QLineF(plot.left(), crosshair_->y(), plot.right(), crosshair_->y()));
    }
    p.restore();

    p.setPen(QColor(120, 120, 130));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);

    // Legend.
    double x = plot.left() + fm.horizontalAdvance(QStringLiteral("  ")) + 30;
    if (all || exposed.top() < plot.top())
    for (const LogTrace* trace : traces_) {
        const double y = area.top() + 4 + fm.height() / 2.0;
        p.setPen(QPen(trace->colour(), 3));
        p.drawLine(QLineF(x, y, x + 18, y));
        p.setPen(Qt::black);
        const QString name = fm.elidedText(trace->name(), Qt::ElideMiddle, 260);
        p.drawText(QPointF(x + 22, area.top() + 4 + fm.ascent()), name);
        x += 22 + fm.horizontalAdvance(name) + 18;
    }
    if (traces_.empty() || std::all_of(traces_.begin(), traces_.end(), [](const LogTrace* t) { return t->rowCount() == 0; })) {
        p.setPen(QColor(110, 110, 110));
        p.drawText(plot, Qt::AlignCenter, QStringLiteral("The log holds no rows yet."));
    }
}

// Failed stretches, overload and "no number" rows, placed times and clock
// jumps: behind the lines.
void AnalysisChart::drawMarks(QPainter& p, const QRectF& plot, const LogTrace& trace, const ViewSpan& view,
                              std::pair<int, int> span) const {
    const Mapping map{plot, view};
    const RowTimeline& line = trace.timeline();
    const int n = trace.rowCount();
    if (n == 0 || span.first >= span.second) return;
    const double shift = trace.shiftMs();
    const double left = plot.left() + span.first;   // column 0 below is this one
    const int columns = span.second - span.first;
    std::vector<std::size_t> edges(static_cast<std::size_t>(columns) + 1);
    for (int c = 0; c <= columns; ++c)
        edges[static_cast<std::size_t>(c)] = static_cast<std::size_t>(
            std::min(line.lowerBound(map.t(left + c) - shift), n));
    if (edges.front() >= edges.back()) return;
    const std::vector<Column> cols = trace.decimation().byEdges(unit_, edges);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    // A failed row stays failed until the next row: shade to it.
    for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
        const Column& col = cols[static_cast<std::size_t>(c)];
        if (col.fail == 0) continue;
        int last = c;
        while (last + 1 < static_cast<int>(cols.size()) &&
               (cols[static_cast<std::size_t>(last) + 1].fail > 0 ||
                cols[static_cast<std::size_t>(last) + 1].firstRow == cols[static_cast<std::size_t>(last) + 1].endRow))
            ++last;
        p.fillRect(QRectF(left + c, plot.top(), last - c + 1, plot.height()), kFailShade);
        c = last;
    }
    for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
        const Column& col = cols[static_cast<std::size_t>(c)];
        const double x = left + c + 0.5;
        if (col.overloads > 0) {   // a red wedge down from the top edge
            p.setBrush(QColor(210, 0, 0));
            const QPointF tri[3] = {{x - 4, plot.top()}, {x + 4, plot.top()}, {x, plot.top() + 7}};
            p.drawPolygon(tri, 3);
        }
        if (col.noNumber > 0) {   // a grey wedge up from the bottom edge
            p.setBrush(QColor(120, 120, 120));
            const QPointF tri[3] = {{x - 4, plot.bottom()}, {x + 4, plot.bottom()}, {x, plot.bottom() - 7}};
            p.drawPolygon(tri, 3);
        }
    }
    // Placed times: a hatched strip along the bottom under those rows.
    for (const RowTimeline::Run& run : line.placedRuns()) {
        if (run.first >= n) break;
        const double a = map.x(line.at(run.first) + shift);
        const double b = map.x(line.at(std::min(run.last, n - 1)) + shift);
        if (b < plot.left() || a > plot.right()) continue;
        p.fillRect(QRectF(a, plot.bottom() - 5, std::max(b - a, 2.0), 5),
                   QBrush(QColor(90, 90, 160), Qt::BDiagPattern));
    }
    // A clock set back: a dashed line where the row was drawn, and a note.
    const QFontMetrics fm(font());
    for (int row : line.clockBackRows()) {
        if (row >= n) break;
        const double x = map.x(line.at(row) + shift);
        if (x < plot.left() || x > plot.right()) continue;
        p.setPen(QPen(kMarkColour, 1, Qt::DashLine));
        p.drawLine(QLineF(x, plot.top(), x, plot.bottom()));
        p.setPen(kMarkColour);
        p.drawText(QPointF(x + 3, plot.top() + fm.height() * 2 + 2), QStringLiteral("clock set back"));
        p.setPen(Qt::NoPen);
    }
}

void AnalysisChart::drawTrace(QPainter& p, const QRectF& plot, const LogTrace& trace, const ViewSpan& view,
                              std::pair<int, int> span) const {
    const Mapping map{plot, view};
    const RowTimeline& line = trace.timeline();
    const int n = trace.rowCount();
    if (n == 0 || span.first >= span.second) return;
    const double shift = trace.shiftMs();
    const double left = plot.left() + span.first;
    const int columns = span.second - span.first;
    // One row either side, so lines run on to the edges.
    const int first = std::max(0, line.lowerBound(map.t(left) - shift) - 1);
    const int end = std::min(n, line.lowerBound(map.t(left + columns) - shift) + 1);
    if (first >= end) return;
    std::vector<QLineF> lines;
    const LogPointSource& points = trace.points();

    if (end - first <= 2 * columns) {
        // Few rows: each row drawn, joined to the next unless a pause, a row
        // of another unit or one without a value lies between.
        lines.reserve(static_cast<std::size_t>(end - first));
        std::vector<QPointF> dots;
        std::optional<QPointF> previous;
        double previousT = 0;
        for (int row = first; row < end; ++row) {
            const LogPoint pt = points.point(static_cast<std::size_t>(row));
            const double t = line.at(row);
            if (pt.unit != unit_ || !pt.hasValue) {
                previous.reset();
                continue;
            }
            const QPointF here(map.x(t + shift), map.clampY(map.y(pt.value)));
            if (previous && !line.isGap(previousT, t)) lines.emplace_back(*previous, here);
            dots.push_back(here);
            previous = here;
            previousT = t;
        }
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(trace.colour(), 1.5));
        p.drawLines(lines.data(), static_cast<int>(lines.size()));
        if (static_cast<int>(dots.size()) * 6 < columns) {
            p.setBrush(trace.colour());
            for (const QPointF& d : dots) p.drawEllipse(d, 2.2, 2.2);
        }
        return;
    }

    // Many rows: one min/max column a pixel.
    std::vector<std::size_t> edges(static_cast<std::size_t>(columns) + 1);
    for (int c = 0; c <= columns; ++c)
        edges[static_cast<std::size_t>(c)] = static_cast<std::size_t>(
            std::min(line.lowerBound(map.t(left + c) - shift), n));
    const std::vector<Column> cols = trace.decimation().byEdges(unit_, edges);
    lines.reserve(cols.size() * 2);
    std::optional<QPointF> previous;
    std::size_t previousRow = 0;
    for (std::size_t c = 0; c < cols.size(); ++c) {
        const Column& col = cols[c];
        if (col.numbers == 0) {
            if (col.count > 0) previous.reset();   // only overloads here: the line breaks
            continue;
        }
        const double x = left + static_cast<double>(c) + 0.5;
        const double yMin = map.clampY(map.y(col.min));
        const double yMax = map.clampY(map.y(col.max));
        const LogPoint firstPoint = points.point(col.firstUnitRow);
        const LogPoint lastPoint = points.point(col.lastUnitRow);
        const double yFirst = firstPoint.hasValue ? map.clampY(map.y(firstPoint.value)) : yMin;
        const double yLast = lastPoint.hasValue ? map.clampY(map.y(lastPoint.value)) : yMax;
        if (previous && !line.isGap(line.at(static_cast<int>(previousRow)), line.at(static_cast<int>(col.firstUnitRow))))
            lines.emplace_back(*previous, QPointF(x, yFirst));
        lines.emplace_back(QPointF(x, yMin), QPointF(x, yMax + (yMax == yMin ? 0.01 : 0)));
        previous = QPointF(x, yLast);
        previousRow = col.lastUnitRow;
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(trace.colour(), 1));
    p.drawLines(lines.data(), static_cast<int>(lines.size()));
}

}  // namespace meterlink::analysis
