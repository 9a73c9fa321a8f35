#pragma once
// The part of the plane the analysis chart shows: a stretch of time (UTC
// milliseconds) by a stretch of values (SI units), and the steps the mouse
// and the keys take on it. Plain arithmetic, so it is tested alone.

namespace meterlink::analysis {

struct ViewSpan {
    double t0 = 0, t1 = 1;   // time, t0 < t1
    double v0 = 0, v1 = 1;   // value, v0 < v1

    double timeSpan() const { return t1 - t0; }
    double valueSpan() const { return v1 - v0; }
    bool operator==(const ViewSpan& o) const { return t0 == o.t0 && t1 == o.t1 && v0 == o.v0 && v1 == o.v1; }

    // factor < 1 zooms in; the anchor keeps its place on screen.
    ViewSpan zoomedTime(double factor, double anchorT) const;
    ViewSpan zoomedValue(double factor, double anchorV) const;
    ViewSpan panned(double dt, double dv) const;
    // A rectangle's corners in either order; refused (unchanged) when flat.
    ViewSpan zoomedTo(double ta, double tb, double va, double vb) const;

    // Everything of [tMin, tMax] x [vMin, vMax] with a margin around the
    // values; a single moment or a flat trace gets a span of its own.
    static ViewSpan fitting(double tMin, double tMax, double vMin, double vMax);
};

// The narrowest spans a zoom may reach: a millisecond, and a value span of a
// millionth of the values' size (doubles keep about 15 digits).
constexpr double kMinTimeSpanMs = 1.0;
double minValueSpan(double v0, double v1);

// Zoom factors: one wheel notch (120 units of angle) or one key press.
constexpr double kZoomStep = 0.8;
double wheelZoomFactor(int angleDelta);

}  // namespace meterlink::analysis
