#include "report_summary.h"

#include "decimation.h"
#include "record_table.h"
#include "protocol/limit_value.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace meterlink {

namespace {

constexpr double kLine = 5.6;        // mm between lines of 10 pt text
constexpr double kTextPoints = 10.0;

QFont reportFont(double points, bool bold = false) {
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// "2026-12-10 16:08:55 +01:00"
QString timeText(const FullTime& t) {
    char buffer[kIsoTimeMaxBytes];
    const char* end = formatIsoTime(t, buffer);
    QString iso = QString::fromLatin1(buffer, static_cast<qsizetype>(end - buffer));
    const qsizetype dot = iso.indexOf(QLatin1Char('.'));
    if (dot > 0) iso = iso.left(dot) + QLatin1Char(' ') + iso.mid(dot + 4);
    iso.replace(QLatin1Char('T'), QLatin1Char(' '));
    return iso;
}

class Page {
public:
    Page(QPainter& painter, double width) : p_(painter), dots_(painter.device()->logicalDpiY() / 25.4), width_(width) {}

    QRectF rect(double left, double top, double width, double height) const {
        return {left * dots_, top * dots_, width * dots_, height * dots_};
    }
    QPointF at(double x, double y) const { return {x * dots_, y * dots_}; }
    double dots() const { return dots_; }
    double width() const { return width_; }

    // Left-aligned text on one line; returns the width it took, in mm.
    double text(double left, double top, const QString& s, const QFont& font, Qt::Alignment align = Qt::AlignLeft,
                double width = -1) {
        p_.setFont(font);
        const double w = width > 0 ? width : width_ - left;
        p_.drawText(rect(left, top, w, kLine), align | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, s);
        return QFontMetricsF(font, p_.device()).horizontalAdvance(s) / dots_;
    }
    // Wrapped text; returns its height in mm.
    double wrapped(double left, double top, const QString& s, const QFont& font) {
        p_.setFont(font);
        const QRectF box = rect(left, top, width_ - left, 60);
        const QRectF used = p_.boundingRect(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, s);
        p_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, s);
        return std::max(kLine, used.height() / dots_);
    }

    QPainter& painter() { return p_; }

private:
    QPainter& p_;
    double dots_;
    double width_;
};

std::optional<double> limitIn(const QString& text, const QString& sep, BaseUnit unit) {
    if (text.trimmed().isEmpty()) return std::nullopt;
    const std::string t = text.toStdString(), s = sep.toStdString();
    const LimitValue v = parseLimit(t, s);
    // A limit without a unit is a display number: it has no place on an SI axis.
    if (!v.valid || !v.hasUnit || baseUnitOf(v.unit) != unit) return std::nullopt;
    return v.value;
}

void paintChart(Page& page, const ReportSummary& s, const ReportDetails& d, double top, double height) {
    QPainter& p = page.painter();
    const double left = 22, right = page.width() - 2;
    const double plotTop = top + 8, plotBottom = top + height - 10;
    const QFont small = reportFont(8);
    const std::string_view sym = baseUnitSymbol(s.chartUnit);
    page.text(0, top, QStringLiteral("Readings against time (%1)").arg(sym.empty() ? QStringLiteral("no unit") : fromUtf8(sym)),
              reportFont(kTextPoints, true));
    p.save();
    p.setPen(QPen(Qt::black, 0.2 * page.dots()));
    p.drawRect(page.rect(left, plotTop, right - left, plotBottom - plotTop));
    const auto high = limitIn(d.highLimit, d.decimalSep, s.chartUnit);
    const auto low = limitIn(d.lowLimit, d.decimalSep, s.chartUnit);
    double lo = s.chartMin, hi = s.chartMax;
    for (const auto& limit : {high, low})
        if (limit) lo = std::min(lo, *limit), hi = std::max(hi, *limit);
    if (hi <= lo) {
        const double pad = std::max(1e-12, std::fabs(hi) * 0.05 + (hi == 0 ? 1 : 0));
        lo -= pad;
        hi += pad;
    } else {
        const double pad = (hi - lo) * 0.05;
        lo -= pad;
        hi += pad;
    }
    const auto yOf = [&](double v) { return plotBottom - (v - lo) / (hi - lo) * (plotBottom - plotTop); };
    const std::size_t n = s.chart.size();
    const double colWidth = n ? (right - left) / double(n) : 0;
    // Failed stretches shaded, then the trace as min-max strokes joined up.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 210, 210));
    for (std::size_t k = 0; k < n; ++k)
        if (s.chart[k].fail)
            p.drawRect(page.rect(left + colWidth * double(k), plotTop, colWidth, plotBottom - plotTop));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 70, 160), 0.25 * page.dots()));
    QPainterPath trace;
    bool started = false;
    for (std::size_t k = 0; k < n; ++k) {
        const auto& c = s.chart[k];
        if (!c.any) continue;
        const double x = left + colWidth * (double(k) + 0.5);
        if (!started) trace.moveTo(page.at(x, yOf(c.max)));
        else trace.lineTo(page.at(x, yOf(c.max)));
        trace.lineTo(page.at(x, yOf(c.min)));
        started = true;
    }
    p.drawPath(trace);
    p.setPen(QPen(QColor(200, 0, 0), 0.3 * page.dots(), Qt::DashLine));
    for (const auto& limit : {high, low})
        if (limit) p.drawLine(page.at(left, yOf(*limit)), page.at(right, yOf(*limit)));
    p.restore();
    // Axis texts: values at the top, middle and bottom; times at both ends.
    for (double f : {0.0, 0.5, 1.0}) {
        const double v = lo + (hi - lo) * f;
        page.text(0, yOf(v) - 1.8, siText(v, s.chartUnit), small, Qt::AlignRight, left - 1.5);
    }
    page.text(left, plotBottom + 1, s.allTimesPlaced ? s.startText : timeText(s.start), small);
    page.text(left, plotBottom + 1, s.allTimesPlaced ? s.endText : timeText(s.end), small, Qt::AlignRight,
              right - left);
    QString legend = QStringLiteral("Trace: lowest and highest reading of each column");
    if (high || low) legend += QStringLiteral("; dashed: the limits");
    else if (!d.highLimit.isEmpty() || !d.lowLimit.isEmpty())
        legend += QStringLiteral("; limits without a unit of this quantity are not drawn");
    legend += QStringLiteral("; shaded: rows that failed");
    page.text(left, plotBottom + 4.5, legend, small);
}

}  // namespace

QString siText(double value, BaseUnit unit) {
    const QString sym = fromUtf8(baseUnitSymbol(unit));
    const bool prefixed = unit == BaseUnit::V || unit == BaseUnit::A || unit == BaseUnit::Ohm ||
                          unit == BaseUnit::F || unit == BaseUnit::Hz || unit == BaseUnit::W;
    static constexpr struct {
        int exponent;
        const char* prefix;
    } kPrefixes[] = {{9, "G"}, {6, "M"}, {3, "k"}, {0, ""}, {-3, "m"}, {-6, "\u00B5"}, {-9, "n"}, {-12, "p"}};
    int exponent = 0;
    const char* prefix = "";
    if (prefixed && value != 0) {
        const double magnitude = std::fabs(value);
        for (const auto& p : kPrefixes)
            if (magnitude >= std::pow(10.0, p.exponent) * 0.9995 || p.exponent == -12) {
                exponent = p.exponent;
                prefix = p.prefix;
                break;
            }
    }
    const double scaled = value / std::pow(10.0, exponent);
    QString number = QString::number(scaled, 'g', 5);
    QString text = number;
    if (!sym.isEmpty() || *prefix) text += QLatin1Char(' ') + QString::fromUtf8(prefix) + sym;
    return text;
}

QString durationText(std::int64_t ms) {
    const std::int64_t s = std::max<std::int64_t>(0, ms) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString ReportSummary::overall() const {
    if (fail > 0) return QStringLiteral("FAIL");
    if (pass > 0) return QStringLiteral("PASS");
    return {};
}

struct ReportSummaryBuilder::State {
    State(const RecordTable& table, const QString& decimalSep)
        : points(table, decimalSep.toStdString()), stats(points), dec(stats) {}
    RecordTablePoints points;
    LogStatistics stats;
    Decimation dec;
    bool synced = false;
};

ReportSummaryBuilder::ReportSummaryBuilder(const RecordTable& table, std::size_t rows, const QString& decimalSep,
                                           int chartColumns)
    : table_(table),
      rows_(std::min(rows, static_cast<std::size_t>(table.rowCount()))),
      chartColumns_(chartColumns),
      state_(std::make_unique<State>(table, decimalSep)) {}

ReportSummaryBuilder::~ReportSummaryBuilder() = default;

std::size_t ReportSummaryBuilder::rowsDone() const { return state_->dec.rowCount(); }

bool ReportSummaryBuilder::step(std::size_t maxRows) {
    State& st = *state_;
    if (!st.synced) {
        st.points.sync();
        st.synced = true;
    }
    // The statistics go ahead, the decimation reads their summaries behind them.
    const std::size_t left = rows_ - std::min(rows_, st.stats.rowCount());
    st.stats.catchUp(std::min(maxRows, left));
    st.dec.catchUp(maxRows);
    return st.stats.rowCount() >= rows_ && st.dec.rowCount() >= st.stats.rowCount();
}

ReportSummary ReportSummaryBuilder::result() {
    while (!step(SIZE_MAX)) {
    }
    const LogStatistics& stats = state_->stats;
    const Decimation& dec = state_->dec;
    const RecordTablePoints& points = state_->points;
    ReportSummary s;
    s.units = stats.all();
    s.rows = stats.rowCount();
    if (s.rows == 0) return s;
    std::uint64_t placed = 0, most = 0;
    for (const UnitStatistics& u : s.units) {
        s.pass += u.pass;
        s.fail += u.fail;
        s.timeOutsideMs += u.timeOutsideMs;
        placed += u.placedTimes;
        if (u.count > most) {
            most = u.count;
            s.chartUnit = u.unit;
        }
    }
    s.timesPlaced = placed > 0;
    s.allTimesPlaced = placed == s.rows;
    s.start = points.point(0).time();
    s.end = points.point(s.rows - 1).time();
    s.startText = table_.text(0, RecordTable::Time);
    s.endText = table_.text(static_cast<int>(s.rows - 1), RecordTable::Time);
    // Columns by time, unless the clock ran backwards: then by rows.
    const std::vector<Column> cols = s.end.utcMs > s.start.utcMs && !s.allTimesPlaced
                                         ? dec.byTime(s.chartUnit, s.start.utcMs, s.end.utcMs + 1, chartColumns_)
                                         : dec.byRows(s.chartUnit, 0, s.rows, chartColumns_);
    bool any = false;
    for (const Column& c : cols) {
        ReportSummary::ChartColumn out;
        out.fail = c.fail > 0;
        if (c.numbers > 0) {
            out.any = true;
            out.min = c.min;
            out.max = c.max;
            s.chartMin = any ? std::min(s.chartMin, c.min) : c.min;
            s.chartMax = any ? std::max(s.chartMax, c.max) : c.max;
            any = true;
        }
        s.chart.push_back(out);
    }
    return s;
}

ReportSummary ReportSummary::of(const RecordTable& table, std::size_t rows, const QString& decimalSep,
                                int chartColumns) {
    return ReportSummaryBuilder(table, rows, decimalSep, chartColumns).result();
}

void paintSummaryPage(QPainter& painter, const ReportSummary& s, const ReportDetails& d, double printableHeightMm,
                      double printableWidthMm) {
    painter.save();
    painter.setPen(Qt::black);
    Page page(painter, printableWidthMm);
    const QFont text = reportFont(kTextPoints), bold = reportFont(kTextPoints, true);
    double y = 2;
    page.text(0, y, d.title.isEmpty() ? QStringLiteral("Data Report") : d.title, reportFont(16, true),
              Qt::AlignHCenter, printableWidthMm);
    y += 12;

    const auto field = [&](const QString& label, const QString& value) {
        page.text(0, y, label, bold);
        y += page.wrapped(32, y, value.isEmpty() ? QStringLiteral("\u2013") : value, text);
    };
    field(QStringLiteral("Meter"), d.meter);
    field(QStringLiteral("Port"), d.port);
    field(QStringLiteral("Operator"), d.operatorName);
    field(QStringLiteral("Comment"), d.comment);
    if (s.allTimesPlaced) {
        field(QStringLiteral("Start"), s.startText + QStringLiteral(" (time of day only)"));
        field(QStringLiteral("End"), s.endText);
        field(QStringLiteral("Duration"), QStringLiteral("unknown: the log holds no dates"));
    } else {
        field(QStringLiteral("Start"), timeText(s.start));
        field(QStringLiteral("End"), timeText(s.end));
        field(QStringLiteral("Duration"), durationText(s.end.utcMs - s.start.utcMs) +
                                              (s.timesPlaced ? QStringLiteral(" (some rows had no time; placed between "
                                                                              "their neighbours)")
                                                             : QString()));
    }
    QString limits;
    if (!d.highLimit.trimmed().isEmpty()) limits += QStringLiteral("high ") + d.highLimit.trimmed();
    if (!d.lowLimit.trimmed().isEmpty())
        limits += (limits.isEmpty() ? QString() : QStringLiteral(", ")) + QStringLiteral("low ") + d.lowLimit.trimmed();
    field(QStringLiteral("Limits"), limits.isEmpty() ? QStringLiteral("none set") : limits);
    y += 3;

    // The verdict summary.
    page.text(0, y, QStringLiteral("Verdict"), reportFont(12, true));
    y += 7;
    const std::uint64_t judged = s.pass + s.fail;
    const QString overall = s.overall();
    QString verdict = QStringLiteral("Rows: %1    Pass: %2    Fail: %3").arg(s.rows).arg(s.pass).arg(s.fail);
    if (judged > 0)
        verdict += QStringLiteral("    Passed: %1 %").arg(100.0 * double(s.pass) / double(judged), 0, 'f', 1);
    page.text(0, y, verdict, text);
    y += kLine;
    page.text(0, y, QStringLiteral("Time outside the limits: %1").arg(durationText(s.timeOutsideMs)), text);
    y += kLine;
    page.text(0, y, QStringLiteral("Overall: "), reportFont(12, true));
    painter.setPen(overall == QLatin1String("FAIL") ? QColor(190, 0, 0) : overall.isEmpty() ? Qt::black : QColor(0, 120, 0));
    page.text(22, y, overall.isEmpty() ? QStringLiteral("no row was judged") : overall, reportFont(12, true));
    painter.setPen(Qt::black);
    y += 10;

    // The statistics, a line per unit.
    page.text(0, y, QStringLiteral("Statistics"), reportFont(12, true));
    y += 7;
    struct Col {
        double left;
        const char* heading;
    };
    static constexpr Col kCols[] = {{0, "Unit"},     {12, "Rows"},  {28, "No value"}, {48, "Minimum"},
                                    {82, "Maximum"}, {116, "Mean"}, {142, "Std dev"}, {168, "Fail"}};
    const QFont small = reportFont(9), smallBold = reportFont(9, true);
    for (const Col& c : kCols) page.text(c.left, y, QString::fromLatin1(c.heading), smallBold);
    y += kLine;
    for (const UnitStatistics& u : s.units) {
        const QString sym = u.symbol().empty() ? QStringLiteral("none") : fromUtf8(u.symbol());
        page.text(kCols[0].left, y, sym, small);
        page.text(kCols[1].left, y, QString::number(u.count), small);
        page.text(kCols[2].left, y, QString::number(u.overloads + u.noNumber), small);
        if (u.min) {
            page.text(kCols[3].left, y, siText(u.min->value, u.unit), small);
            page.text(kCols[4].left, y, siText(u.max->value, u.unit), small);
            page.text(kCols[5].left, y, siText(*u.mean, u.unit), small);
            page.text(kCols[6].left, y, u.std ? siText(*u.std, u.unit) : QStringLiteral("\u2013"), small);
        }
        page.text(kCols[7].left, y, QString::number(u.fail), small);
        y += 4.6;
        if (u.min && !s.allTimesPlaced) {
            const QFont tiny = reportFont(7);
            page.text(kCols[3].left, y, QStringLiteral("row %1, %2").arg(u.min->row + 1).arg(timeText(u.min->time).mid(11, 8)), tiny);
            page.text(kCols[4].left, y, QStringLiteral("row %1, %2").arg(u.max->row + 1).arg(timeText(u.max->time).mid(11, 8)), tiny);
            y += 4;
        }
        if (y > printableHeightMm * 0.55) break;
    }
    y += 4;
    // The chart fills what is left above the footer.
    const double footer = 10.58;
    const double chartHeight = std::max(40.0, printableHeightMm - footer - y - 2);
    paintChart(page, s, d, y, chartHeight);
    painter.restore();
}

}  // namespace meterlink
