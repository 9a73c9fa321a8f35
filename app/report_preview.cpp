#include "app/report_preview.h"

#include "recording/report_layout.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QString>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace report_preview {

namespace {

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

}  // namespace

QString questionText(int pages) {
    return QStringLiteral("The report has %1 pages. Preview all of them?").arg(pages);
}

void show(const meterlink::RecordTable& table, QWidget* window) {
    {
        // The printer holds the previewed pages: it goes before the memory is handed back.
        QPrinter printer(QPrinter::HighResolution);
        meterlink::ReportLayout::setUpPrinter(printer);
        const meterlink::ReportLayout layout(table);
        const int pages = layout.pageCount(printer.pageLayout().paintRect(QPageLayout::Millimeter).height());
        if (pages > kAskAbovePages && !askToPreview(pages, window)) return;
        QPrintPreviewDialog preview(&printer, window);
        preview.setObjectName(QStringLiteral("PrintPreview"));
        preview.setWindowTitle(QStringLiteral("Print Preview"));
        bool layingOut = false;
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* p) {
            // The progress dialog lets events through; a request that comes
            // meanwhile must not start a second layout into the same printer.
            if (layingOut) return;
            layingOut = true;
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
