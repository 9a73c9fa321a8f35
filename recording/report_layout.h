#pragma once
// The printed log: A4 portrait pages, each with the title "Data Report", the
// column headings, as many rows as fit and the footer "The Data Print Foot".
// Painted with QPainter on any paged device: the printer behind the print
// preview, or a PDF writer. An empty log gives no pages.
//
// Unless the details ask for the plain report, a first page with the
// summary comes before the table pages (see report_summary.h), and every
// page carries "Page X of Y" and the print date in its footer.

#include "record_table.h"
#include "report_summary.h"

#include <QPageLayout>

#include <algorithm>
#include <functional>

class QPagedPaintDevice;
class QPainter;
class QPrinter;

namespace meterlink {

class ReportLayout {
public:
    // The report holds the rows the table has now; rows logged while the
    // preview is open are not in it, on screen or on paper.
    // The plain report: the table pages alone.
    explicit ReportLayout(const RecordTable& table);
    ReportLayout(const RecordTable& table, const ReportDetails& details);
    // The first `rows` rows, with the first page's figures worked out
    // before (ReportSummaryBuilder): a preview lays the report out again at
    // each change of its fields without another pass over the log.
    ReportLayout(const RecordTable& table, int rows, const ReportDetails& details, const ReportSummary& summary);

    // Columns of the first page's chart: about one per half millimetre.
    static constexpr int kChartColumns = 360;

    // A4 portrait, margins of 10 mm all round.
    static QPageLayout pageLayout();
    // The page above, one copy, no duplex, all pages, the first tray.
    static void setUpPrinter(QPrinter& printer);

    // Rows that fit on a page whose printable area is this high.
    static int rowsPerPage(double printableHeightMm);
    int pageCount(double printableHeightMm) const;

    const ReportDetails& details() const { return details_; }
    const ReportSummary& summary() const { return summary_; }

    // Paints page `page` (from 0) with the painter's origin at the top-left
    // corner of the printable area.
    void paintPage(QPainter& painter, int page, double printableHeightMm) const;

    // Paints pages fromPage to toPage (counted from 1; 0 and 0 for all) in
    // the device's page layout. False when painting could not start.
    bool print(QPagedPaintDevice& device, int fromPage = 0, int toPage = 0,
               const std::function<bool(int pagesDone)>& progress = {}) const;
    // The pages the user chose in the print dialog.
    bool print(QPrinter& printer) const;
    // The same, telling after each page how many are painted; painting stops
    // when the callback returns false.
    bool print(QPrinter& printer, const std::function<bool(int pagesDone)>& progress) const;

private:
    int rows() const { return std::min(rows_, table_.rowCount()); }
    int summaryPages() const { return details_.plain || rows() == 0 ? 0 : 1; }
    void paintTablePage(QPainter& painter, int page, double printableHeightMm) const;
    void paintPageFooter(QPainter& painter, int page, int pages, double printableHeightMm) const;

    const RecordTable& table_;
    int rows_;
    ReportDetails details_;
    ReportSummary summary_;
};

}  // namespace meterlink
