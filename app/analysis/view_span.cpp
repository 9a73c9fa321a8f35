#include "view_span.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace meterlink::analysis {

namespace {

// Scales [a, b] around anchor, keeping it no narrower than minSpan.
std::pair<double, double> scaled(double a, double b, double factor, double anchor, double minSpan) {
    if (!(factor > 0) || !std::isfinite(factor)) return {a, b};
    double na = anchor - (anchor - a) * factor;
    double nb = anchor + (b - anchor) * factor;
    if (nb - na < minSpan) {
        const double share = (b > a) ? (anchor - a) / (b - a) : 0.5;
        na = anchor - share * minSpan;
        nb = na + minSpan;
    }
    if (!std::isfinite(na) || !std::isfinite(nb) || !(nb > na)) return {a, b};
    return {na, nb};
}

}  // namespace

double minValueSpan(double v0, double v1) {
    const double size = std::max(std::fabs(v0), std::fabs(v1));
    return std::max(size * 1e-6, 1e-15);
}

double wheelZoomFactor(int angleDelta) { return std::pow(kZoomStep, angleDelta / 120.0); }

ViewSpan ViewSpan::zoomedTime(double factor, double anchorT) const {
    ViewSpan v = *this;
    std::tie(v.t0, v.t1) = scaled(t0, t1, factor, anchorT, kMinTimeSpanMs);
    return v;
}

ViewSpan ViewSpan::zoomedValue(double factor, double anchorV) const {
    ViewSpan v = *this;
    std::tie(v.v0, v.v1) = scaled(v0, v1, factor, anchorV, minValueSpan(v0, v1));
    return v;
}

ViewSpan ViewSpan::panned(double dt, double dv) const {
    ViewSpan v = *this;
    if (std::isfinite(dt)) v.t0 += dt, v.t1 += dt;
    if (std::isfinite(dv)) v.v0 += dv, v.v1 += dv;
    return v;
}

ViewSpan ViewSpan::zoomedTo(double ta, double tb, double va, double vb) const {
    ViewSpan v{std::min(ta, tb), std::max(ta, tb), std::min(va, vb), std::max(va, vb)};
    if (v.timeSpan() < kMinTimeSpanMs || v.valueSpan() < minValueSpan(v.v0, v.v1)) return *this;
    return v;
}

ViewSpan ViewSpan::fitting(double tMin, double tMax, double vMin, double vMax) {
    ViewSpan v;
    if (!std::isfinite(tMin) || !std::isfinite(tMax) || tMax < tMin) {
        tMin = 0;
        tMax = 60000;
    }
    if (tMax - tMin < 1000) {   // one row, or rows within a second: a minute around them
        const double mid = (tMin + tMax) / 2;
        tMin = mid - 30000;
        tMax = mid + 30000;
    }
    if (!std::isfinite(vMin) || !std::isfinite(vMax) || vMax < vMin) {
        vMin = 0;
        vMax = 1;
    }
    double margin = (vMax - vMin) * 0.05;
    if (margin < minValueSpan(vMin, vMax)) margin = std::max(std::fabs(vMax) * 0.1, 0.5e-3);
    v.t0 = tMin;
    v.t1 = tMax;
    v.v0 = vMin - margin;
    v.v1 = vMax + margin;
    return v;
}

}  // namespace meterlink::analysis
