#include "app/report_preview.h"

#include "recording/report_layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QToolBar>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QString>

#include <optional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace report_preview {

namespace {

// The first page's fields above the pages; a change lays the report out again.
void addDetailFields(QPrintPreviewDialog& preview, meterlink::ReportDetails& details) {
    auto* fields = new QWidget(&preview);
    fields->setObjectName(QStringLiteral("ReportFields"));
    auto* row = new QHBoxLayout(fields);
    row->setContentsMargins(6, 2, 6, 2);
    auto* widget = preview.findChild<QPrintPreviewWidget*>();
    const auto addEdit = [&](const char* label, const char* name, QString& text) {
        row->addWidget(new QLabel(QString::fromLatin1(label), fields));
        auto* edit = new QLineEdit(text, fields);
        edit->setObjectName(QString::fromLatin1(name));
        row->addWidget(edit, 1);
        QObject::connect(edit, &QLineEdit::editingFinished, fields, [edit, &text, widget] {
            if (edit->text() == text) return;
            text = edit->text();
            if (widget) widget->updatePreview();
        });
    };
    addEdit("Title", "ReportTitle", details.title);
    addEdit("Operator", "ReportOperator", details.operatorName);
    addEdit("Comment", "ReportComment", details.comment);
    auto* plain = new QCheckBox(QStringLiteral("Plain table"), fields);
    plain->setObjectName(QStringLiteral("ReportPlain"));
    plain->setToolTip(QStringLiteral("The table pages alone, without the first page and page numbers"));
    plain->setChecked(details.plain);
    row->addWidget(plain);
    QObject::connect(plain, &QCheckBox::toggled, fields, [&details, widget](bool on) {
        details.plain = on;
        if (widget) widget->updatePreview();
    });
    if (auto* box = qobject_cast<QBoxLayout*>(preview.layout())) box->insertWidget(1, fields);
    else if (auto* bar = preview.findChild<QToolBar*>()) bar->addWidget(fields);
}

bool askToPreview(int pages, QWidget* window) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), questionText(pages),
                    QMessageBox::Yes | QMessageBox::No, window);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Yes"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
    return box.exec() == QMessageBox::Yes;
}

// A closed preview frees thousands of page pictures; without this the C
// library keeps their heap for the process.
void returnFreedMemory() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

// The first page's figures take a pass over the whole log: seconds for
// millions of rows. They are worked out once per preview, in slices short
// enough that the window keeps handling its events (readings go on being
// logged), under a progress dialog whose Cancel gives up. Nothing when
// cancelled or when the log lost rows meanwhile.
std::optional<meterlink::ReportSummary> firstPageFigures(const meterlink::RecordTable& table, int rows,
                                                         const QString& decimalSep, QWidget* window) {
    meterlink::ReportSummaryBuilder builder(table, static_cast<std::size_t>(rows), decimalSep,
                                            meterlink::ReportLayout::kChartColumns);
    QProgressDialog progress(QStringLiteral("Working out the report's first page..."), QStringLiteral("Cancel"), 0,
                             rows, window);
    progress.setObjectName(QStringLiteral("ReportFiguresProgress"));
    progress.setWindowTitle(QStringLiteral("Print Preview"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    constexpr qint64 kSliceMs = 40;
    constexpr std::size_t kRowsAtOnce = 8192;
    QElapsedTimer slice;
    slice.start();
    while (true) {
        const bool done = builder.step(kRowsAtOnce);
        if (done) break;
        if (slice.elapsed() < kSliceMs) continue;
        progress.setValue(static_cast<int>(builder.rowsDone()));
        QApplication::processEvents();
        if (progress.wasCanceled() || table.rowCount() < rows) return std::nullopt;
        slice.restart();
    }
    return builder.result();
}

}  // namespace

QString questionText(int pages) {
    return QStringLiteral("The report has %1 pages. Preview all of them?").arg(pages);
}

void show(const meterlink::RecordTable& table, QWidget* window, meterlink::ReportDetails& details) {
    {
        // The report holds the rows there are now; rows logged while the
        // preview is open are not in it.
        const int rows = table.rowCount();
        // The printer holds the previewed pages: it goes before the memory is handed back.
        QPrinter printer(QPrinter::HighResolution);
        meterlink::ReportLayout::setUpPrinter(printer);
        const double height = printer.pageLayout().paintRect(QPageLayout::Millimeter).height();
        // Counted without the first page's figures, which take a pass over the log.
        meterlink::ReportDetails counting = details;
        counting.plain = true;
        int pages = meterlink::ReportLayout(table, counting).pageCount(height) +
                    (details.plain || rows == 0 ? 0 : 1);
        if (pages > kAskAbovePages && !askToPreview(pages, window)) return;
        // Worked out once, when first wanted: each change of the fields lays
        // the pages out again from the same figures.
        std::optional<meterlink::ReportSummary> figures;
        const auto wantFigures = [&] {
            if (!figures) figures = firstPageFigures(table, rows, details.decimalSep, window);
            return figures.has_value();
        };
        if (!details.plain && rows > 0 && !wantFigures()) return;
        QPrintPreviewDialog preview(&printer, window);
        preview.setObjectName(QStringLiteral("PrintPreview"));
        preview.setWindowTitle(QStringLiteral("Print Preview"));
        addDetailFields(preview, details);
        bool layingOut = false;
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* p) {
            // The progress dialog lets events through; a request that comes
            // meanwhile must not start a second layout into the same printer.
            if (layingOut) return;
            layingOut = true;
            meterlink::ReportDetails shown = details;
            // Figures given up on: the table pages alone.
            if (!shown.plain && rows > 0 && !wantFigures()) shown.plain = true;
            const meterlink::ReportLayout layout(table, rows, shown,
                                                 figures ? *figures : meterlink::ReportSummary());
            pages = layout.pageCount(height);
            QProgressDialog progress(QStringLiteral("Laying out the report's pages..."), QStringLiteral("Cancel"), 0,
                                     pages, window);
            progress.setWindowTitle(QStringLiteral("Print Preview"));
            progress.setWindowModality(Qt::ApplicationModal);
            progress.setMinimumDuration(500);
            layout.print(*p, [&](int done) {
                progress.setValue(done);
                return !progress.wasCanceled();
            });
            layingOut = false;
        });
        preview.exec();
    }
    returnFreedMemory();
}

}  // namespace report_preview
