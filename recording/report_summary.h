#pragma once
// The report's first page: what was measured, by whom and when, the limits,
// the statistics of each unit, the verdict summary and the chart of the
// readings against time with the limit lines. Drawn from the log's
// statistics and decimation, for the window's print and `meterlink-cli
// report` alike.

#include "log_statistics.h"

#include <QDateTime>
#include <QString>

#include <memory>
#include <vector>

class QPainter;

namespace meterlink {

class RecordTable;

// What the person printing adds, and what the window knows of the meter.
struct ReportDetails {
    QString title;            // empty: "Data Report"
    QString meter;            // the meter model
    QString port;             // the port or cable it was read through
    QString operatorName;
    QString comment;
    QString highLimit;        // as typed ("5.5 V"); empty when none
    QString lowLimit;
    QString decimalSep = QStringLiteral(".");   // of the log's value texts and the limits
    QDateTime printed;        // the print date on every page; invalid: now
    bool plain = false;       // the table pages alone, as the report always was
};

// The figures of the first page, computed once from the table's rows.
struct ReportSummary {
    std::vector<UnitStatistics> units;
    std::uint64_t rows = 0, pass = 0, fail = 0;
    std::int64_t timeOutsideMs = 0;
    bool timesPlaced = false;   // some row had no full time of its own
    bool allTimesPlaced = false;
    FullTime start, end;
    QString startText, endText;   // the rows' own time texts, for logs without full times
    // The chart: the unit of most rows, min/max columns by time.
    BaseUnit chartUnit = BaseUnit::Unknown;
    struct ChartColumn {
        bool any = false, fail = false;
        double min = 0, max = 0;
    };
    std::vector<ChartColumn> chart;
    double chartMin = 0, chartMax = 0;

    static ReportSummary of(const RecordTable& table, std::size_t rows, const QString& decimalSep, int chartColumns);
    // "PASS" only when no row failed, "FAIL" when one did; empty when none was judged.
    QString overall() const;
};

// The same figures taken in a slice of rows at a time, so that a window can
// work them out for a log of millions of rows without holding up its events:
//
//   ReportSummaryBuilder b(table, rows, ".", 360);
//   while (!b.step(100'000)) processEvents();
//   ReportSummary s = b.result();
//
// The table must keep its first `rows` rows meanwhile; rows appended after
// them are left out.
class ReportSummaryBuilder {
public:
    ReportSummaryBuilder(const RecordTable& table, std::size_t rows, const QString& decimalSep, int chartColumns);
    ~ReportSummaryBuilder();
    ReportSummaryBuilder(const ReportSummaryBuilder&) = delete;
    ReportSummaryBuilder& operator=(const ReportSummaryBuilder&) = delete;

    // Takes in up to maxRows more rows; true once every row is in.
    bool step(std::size_t maxRows);
    std::size_t rows() const { return rows_; }
    std::size_t rowsDone() const;
    // The figures; every row is taken in first if step() has not done so.
    ReportSummary result();

private:
    struct State;
    const RecordTable& table_;
    std::size_t rows_;
    int chartColumns_;
    std::unique_ptr<State> state_;
};

// Paints the first page into the printable area, printableHeightMm high.
void paintSummaryPage(QPainter& painter, const ReportSummary& summary, const ReportDetails& details,
                      double printableHeightMm, double printableWidthMm);

// A value with an SI prefix that suits it: "34.6 mV", "1.2 kΩ", "21.5 °C".
QString siText(double value, BaseUnit unit);
// 1:02:03 (hours may pass 24).
QString durationText(std::int64_t ms);

}  // namespace meterlink
