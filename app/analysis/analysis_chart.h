#pragma once
// The analysis chart: logs against date and time, painted from min/max
// columns so every spike shows and a long log draws as fast as a short one.
// Painted by hand rather than with a chart library: each paint asks the
// summaries for one column a pixel and draws a few thousand lines, with no
// series objects to refill on every zoom step.
//
// Mouse: the wheel zooms time around the pointer, Ctrl+wheel the values;
// dragging pans; Shift+drag or a right-button drag zooms to the rectangle;
// a click sets cursor A, a right click cursor B; a double click shows all.
// Keys: Left/Right and Up/Down pan, +/- zoom time, Ctrl with +/- zooms the
// values, Z zooms to the cursors, Home shows all, A and B set the cursors at
// the crosshair (or the middle), Esc clears them, F follows the newest row.

#include "view_span.h"


#include <QWidget>

#include <cstdint>

#include <cmath>
#include <optional>
#include <vector>

namespace meterlink {
// Declared here alone: the log's own verdict type must stay out of headers
// that moc reads beside the limit judge's.
enum class BaseUnit : std::uint8_t;
}

namespace meterlink::analysis {

class LogTrace;

class AnalysisChart : public QWidget {
    Q_OBJECT
public:
    explicit AnalysisChart(QWidget* parent = nullptr);

    // The first trace is the live log (the one Follow follows).
    void setTraces(std::vector<const LogTrace*> traces);
    const std::vector<const LogTrace*>& traces() const { return traces_; }
    void setUnit(BaseUnit unit);
    BaseUnit unit() const { return unit_; }
    // In the shown unit; none draws no line.
    void setLimits(std::optional<double> high, std::optional<double> low);

    const ViewSpan& view() const { return view_; }
    void setView(const ViewSpan& view);
    // Everything of every trace, values fitted.
    void showAll();
    bool following() const { return following_; }
    void setFollowing(bool on);
    // New rows arrived: follow them, or keep still while the user looks back.
    void rowsArrived();

    std::optional<double> cursorA() const { return cursorA_; }
    std::optional<double> cursorB() const { return cursorB_; }
    void setCursorA(std::optional<double> t);
    void setCursorB(std::optional<double> t);
    // The crosshair's place, when the pointer or the keys put it on the plot.
    std::optional<QPointF> crosshair() const { return crosshair_; }

    // The plot area inside the axes, in widget coordinates.
    QRectF plotRect() const { return plotRectFor(rect()); }
    double timeAt(double x) const;
    double valueAt(double y) const;
    double xOf(double t) const;
    double yOf(double v) const;

    // Draws the chart as it is into any device: the screen, a picture, SVG, PDF.
    // exposed: the part to draw, in area's coordinates (all of it when null).
    void paintChart(QPainter& painter, const QRect& area, const QRect& exposed = {}) const;

    // The row of a trace nearest to a moment on the chart; -1 when none.
    static int nearestRow(const LogTrace& trace, double t);

signals:
    void viewChanged();
    void cursorsChanged();
    void followingChanged(bool on);
    void crosshairMoved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF plotRectFor(const QRect& area) const;
    // A step the user took: the view moves and following stops unless the
    // newest row is still in view.
    void userView(const ViewSpan& view, bool valuesChosen);
    void fitValues();
    std::optional<std::pair<double, double>> valueExtent(double t0, double t1) const;
    double newestTime() const;
    // span: the pixel columns of the plot to draw, [first, second).
    void drawTrace(QPainter& p, const QRectF& plot, const LogTrace& trace, const ViewSpan& view,
                   std::pair<int, int> span) const;
    void drawMarks(QPainter& p, const QRectF& plot, const LogTrace& trace, const ViewSpan& view,
                   std::pair<int, int> span) const;

    std::vector<const LogTrace*> traces_;
    BaseUnit unit_{};   // volts
    std::optional<double> high_, low_;
    ViewSpan view_;
    bool valuesChosen_ = false;   // the user set the value span: no refitting
    bool following_ = true;
    std::optional<double> cursorA_, cursorB_;
    std::optional<QPointF> crosshair_;
    double drawnNewest_ = -INFINITY;   // the newest row when the live log last moved the chart

    enum class Drag { None, Pan, Band };
    Drag drag_ = Drag::None;
    QPointF pressAt_;
    QPointF dragAt_;
    ViewSpan pressView_;
    bool moved_ = false;
};

}  // namespace meterlink::analysis
