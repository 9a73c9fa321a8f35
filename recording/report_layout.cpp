#include "report_layout.h"

#include "unit_text.h"

#include <QLocale>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <cmath>

namespace meterlink {

namespace {

// Bands, in millimetres from each band's top-left corner; a band spans the
// printable width.
constexpr double kMarginMm = 10.0;
constexpr double kBandWidth = 189.97;
constexpr double kPageHeaderHeight = 10.58;
constexpr double kColumnHeaderHeight = 10.58;
constexpr double kDetailHeight = 6.61;
constexpr double kPageFooterHeight = 10.58;

constexpr double kTitleTop = 2.12;
constexpr double kTitleWidth = 35.45;
constexpr double kTitleHeight = 5.03;
constexpr double kTitlePoints = 12.0;
constexpr double kTextPoints = 10.0;

struct BandText {
    double left, top;
    const char* text;
};
constexpr BandText kHeadings[] = {{8.47, 4.23, "No"},     {33.87, 4.23, "Time"},  {64.29, 4.23, "DC|AC"},
                                  {99.48, 4.23, "Value"}, {132.29, 4.23, "Unit"}, {162.98, 4.23, "AUTO"}};
constexpr BandText kFooter = {8.47, 4.23, "The Data Print Foot"};

enum class Face { Report, Arial, Calibri };
struct DetailField {
    double left;
    RecordTable::Field field;
    Face face;
};
constexpr double kDetailTop = 2.12;
constexpr DetailField kDetail[] = {{8.47, RecordTable::No, Face::Report},     {33.87, RecordTable::Time, Face::Arial},
                                   {65.62, RecordTable::DCAC, Face::Report},  {99.48, RecordTable::Value, Face::Calibri},
                                   {131.23, RecordTable::Unit, Face::Report}, {162.98, RecordTable::Auto, Face::Report}};

QFont fontOf(Face face, double points = kTextPoints) {
    QFont font;
    switch (face) {
    case Face::Report: break;   // the system's sans face: the unit signs are plain characters
    case Face::Arial: font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}); break;
    case Face::Calibri: font.setFamilies({QStringLiteral("Calibri"), QStringLiteral("Carlito")}); break;
    }
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    return font;
}

// Millimetres to the painter's device units.
class Millimetres {
public:
    explicit Millimetres(const QPainter& painter) : dots_(painter.device()->logicalDpiY() / 25.4) {}
    QRectF rect(double left, double top, double width, double height) const {
        return {left * dots_, top * dots_, width * dots_, height * dots_};
    }

private:
    double dots_;
};

void drawLeft(QPainter& painter, const Millimetres& mm, double bandTop, double left, double top, const QString& text) {
    painter.drawText(mm.rect(left, bandTop + top, kBandWidth - left, kDetailHeight),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, text);
}

QString detailText(const RecordTable& table, int row, RecordTable::Field field) {
    const QString text = table.text(row, field);
    return field == RecordTable::Unit ? unitDisplayText(text) : text;
}

}  // namespace

namespace {

ReportDetails plainDetails() {
    ReportDetails d;
    d.plain = true;
    return d;
}

}  // namespace

ReportLayout::ReportLayout(const RecordTable& table) : ReportLayout(table, plainDetails()) {}

ReportLayout::ReportLayout(const RecordTable& table, const ReportDetails& details)
    : table_(table), rows_(table.rowCount()), details_(details) {
    if (!details_.printed.isValid()) details_.printed = QDateTime::currentDateTime();
    if (!details_.plain)
        summary_ = ReportSummary::of(table, static_cast<std::size_t>(rows_), details_.decimalSep, kChartColumns);
}

ReportLayout::ReportLayout(const RecordTable& table, int rows, const ReportDetails& details,
                           const ReportSummary& summary)
    : table_(table), rows_(std::min(rows, table.rowCount())), details_(details), summary_(summary) {
    if (!details_.printed.isValid()) details_.printed = QDateTime::currentDateTime();
}

QPageLayout ReportLayout::pageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                       QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter);
}

void ReportLayout::setUpPrinter(QPrinter& printer) {
    printer.setPageLayout(pageLayout());
    printer.setCopyCount(1);
    printer.setDuplex(QPrinter::DuplexNone);
    printer.setPrintRange(QPrinter::AllPages);
    printer.setPaperSource(QPrinter::Upper);
}

int ReportLayout::rowsPerPage(double printableHeightMm) {
    const double room = printableHeightMm - kPageHeaderHeight - kColumnHeaderHeight - kPageFooterHeight;
    // At least one row, so that a page too small for the bands still ends.
    return std::max(1, static_cast<int>(std::floor(room / kDetailHeight + 1e-9)));
}

int ReportLayout::pageCount(double printableHeightMm) const {
    const int perPage = rowsPerPage(printableHeightMm);
    return summaryPages() + (rows() + perPage - 1) / perPage;
}

void ReportLayout::paintPage(QPainter& painter, int page, double printableHeightMm) const {
    const int pages = pageCount(printableHeightMm);
    if (page < summaryPages()) {
        const double width = painter.device()->widthMM() > 0 ? std::min(kBandWidth, double(painter.device()->widthMM()))
                                                             : kBandWidth;
        paintSummaryPage(painter, summary_, details_, printableHeightMm, width);
    } else {
        paintTablePage(painter, page - summaryPages(), printableHeightMm);
    }
    if (!details_.plain) paintPageFooter(painter, page, pages, printableHeightMm);
}

void ReportLayout::paintPageFooter(QPainter& painter, int page, int pages, double printableHeightMm) const {
    const Millimetres mm(painter);
    painter.save();
    painter.setPen(Qt::black);
    painter.setFont(fontOf(Face::Report));
    const double top = printableHeightMm - kPageFooterHeight + kFooter.top;
    if (page < summaryPages())
        drawLeft(painter, mm, printableHeightMm - kPageFooterHeight, kFooter.left, kFooter.top,
                 QString::fromLatin1(kFooter.text));
    painter.drawText(mm.rect(0, top, kBandWidth, kDetailHeight), Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip,
                     QStringLiteral("Printed ") + QLocale().toString(details_.printed, QLocale::ShortFormat));
    painter.drawText(mm.rect(0, top, kBandWidth - 2, kDetailHeight), Qt::AlignRight | Qt::AlignTop | Qt::TextDontClip,
                     QStringLiteral("Page %1 of %2").arg(page + 1).arg(pages));
    painter.restore();
}

void ReportLayout::paintTablePage(QPainter& painter, int page, double printableHeightMm) const {
    const Millimetres mm(painter);
    painter.save();
    painter.setPen(Qt::black);

    painter.setFont(fontOf(Face::Report, kTitlePoints));
    painter.drawText(mm.rect((kBandWidth - kTitleWidth) / 2, kTitleTop, kTitleWidth, kTitleHeight),
                     Qt::AlignCenter | Qt::TextDontClip, QStringLiteral("Data Report"));

    painter.setFont(fontOf(Face::Report));
    for (const BandText& heading : kHeadings)
        drawLeft(painter, mm, kPageHeaderHeight, heading.left, heading.top, QString::fromLatin1(heading.text));

    const int perPage = rowsPerPage(printableHeightMm);
    const int first = page * perPage;
    const int last = std::min(rows(), first + perPage);
    const QFont faces[] = {fontOf(Face::Report), fontOf(Face::Arial), fontOf(Face::Calibri)};
    double top = kPageHeaderHeight + kColumnHeaderHeight;
    for (int r = first; r < last; ++r, top += kDetailHeight) {
        for (const DetailField& f : kDetail) {
            painter.setFont(faces[static_cast<int>(f.face)]);
            drawLeft(painter, mm, top, f.left, kDetailTop, detailText(table_, r, f.field));
        }
    }

    painter.setFont(faces[static_cast<int>(Face::Report)]);
    drawLeft(painter, mm, printableHeightMm - kPageFooterHeight, kFooter.left, kFooter.top,
             QString::fromLatin1(kFooter.text));
    painter.restore();
}

bool ReportLayout::print(QPagedPaintDevice& device, int fromPage, int toPage,
                        const std::function<bool(int pagesDone)>& progress) const {
    const double height = device.pageLayout().paintRect(QPageLayout::Millimeter).height();
    const int pages = pageCount(height);
    const int first = fromPage > 0 ? fromPage - 1 : 0;
    const int last = toPage > 0 ? std::min(toPage, pages) : pages;
    if (first >= last) return true;   // nothing to print is no failure
    QPainter painter;
    if (!painter.begin(&device)) return false;
    for (int p = first; p < last; ++p) {
        if (p > first) device.newPage();
        paintPage(painter, p, height);
        if (progress && !progress(p - first + 1)) break;
    }
    return painter.end();
}

bool ReportLayout::print(QPrinter& printer) const { return print(printer, std::function<bool(int)>()); }

bool ReportLayout::print(QPrinter& printer, const std::function<bool(int pagesDone)>& progress) const {
    if (printer.printRange() == QPrinter::PageRange)
        return print(printer, printer.fromPage(), printer.toPage(), progress);
    return print(printer, 0, 0, progress);
}

}  // namespace meterlink
