#include "app/report_preview.h"

#include "recording/report_layout.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QToolBar>
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

}  // namespace

QString questionText(int pages) {
    return QStringLiteral("The report has %1 pages. Preview all of them?").arg(pages);
}

void show(const meterlink::RecordTable& table, QWidget* window, meterlink::ReportDetails& details) {
    {
        // The printer holds the previewed pages: it goes before the memory is handed back.
        QPrinter printer(QPrinter::HighResolution);
        meterlink::ReportLayout::setUpPrinter(printer);
        const double height = printer.pageLayout().paintRect(QPageLayout::Millimeter).height();
        // Counted without the first page's figures, which take a pass over the log.
        meterlink::ReportDetails counting = details;
        counting.plain = true;
        int pages = meterlink::ReportLayout(table, counting).pageCount(height) +
                    (details.plain || table.rowCount() == 0 ? 0 : 1);
        if (pages > kAskAbovePages && !askToPreview(pages, window)) return;
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
            const meterlink::ReportLayout layout(table, details);
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
