#include "app/data_file_commands.h"

#include "app/last_folder.h"
#include "app/report_preview.h"

#include "recording/data_files.h"
#include "recording/record_table.h"
#include "recording/report_layout.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>

namespace {

// Qt's own dialog: the same on every platform, and drivable by tests.
QFileDialog* setUpFileDialog(QFileDialog* dialog, const char* objectName, const QList<DialogFilter>& filters,
                             QFileDialog::AcceptMode mode) {
    dialog->setObjectName(QString::fromLatin1(objectName));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setNameFilters(nameFilters(filters));
    dialog->selectNameFilter(filters.front().nameFilter());
    return dialog;
}

// The file chosen last stands in the name field, selected, so that typing
// another name replaces it instead of adding to it.
void offerAgain(QFileDialog& dialog, const QString& file) {
    dialog.selectFile(file);
    if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        QMetaObject::invokeMethod(name, &QLineEdit::selectAll, Qt::QueuedConnection);
}

}  // namespace

DataFileCommands::DataFileCommands(meterlink::RecordTable& table, QWidget* window)
    : QObject(window),
      table_(table),
      window_(window),
      saveFilters_(parseDialogFilter(QString::fromLatin1(kSaveFilter))),
      saveFilter_(saveFilters_.front().nameFilter()),
      OpenDialog1_(setUpFileDialog(new QFileDialog(window), "OpenDialog1",
                                   parseDialogFilter(QString::fromLatin1(kOpenFilter)), QFileDialog::AcceptOpen)) {}

void DataFileCommands::tell(bool failure, const QString& text, const QString& reason) {
    QMessageBox box(failure ? QMessageBox::Critical : QMessageBox::Information,
                    failure ? QStringLiteral("Error") : QStringLiteral("Information"), text, QMessageBox::Ok,
                    window_);
    // The message keeps its words; why it failed is the box's detail.
    if (!reason.isEmpty()) box.setDetailedText(reason);
    box.exec();
}

void DataFileCommands::saveasClick() {
    QFileDialog SaveDialog2(window_);
    setUpFileDialog(&SaveDialog2, "SaveDialog2", saveFilters_, QFileDialog::AcceptSave);
    last_folder::applyTo(SaveDialog2);
    // A name typed without an extension gets the chosen type's, "xls" at first.
    auto useFilter = [this, &SaveDialog2](const QString& selected) {
        for (const DialogFilter& f : saveFilters_)
            if (f.nameFilter() == selected) {
                saveFilter_ = selected;
                SaveDialog2.selectNameFilter(selected);
                SaveDialog2.setDefaultSuffix(f.suffix());
            }
    };
    useFilter(saveFilter_);
    connect(&SaveDialog2, &QFileDialog::filterSelected, &SaveDialog2, useFilter);
    const bool chosen = SaveDialog2.exec() == QDialog::Accepted && !SaveDialog2.selectedFiles().isEmpty();
    last_folder::remember(SaveDialog2.directory().absolutePath());
    if (!chosen) return;
    const QString name = SaveDialog2.selectedFiles().front();
    last_folder::remember(name);
    QString reason;
    if (meterlink::saveTableToFile(table_, name, &reason)) {
        emit saved();
        tell(false, meterlink::saveSucceededMessage(name));
    } else
        tell(true, meterlink::saveFailedMessage(name), reason);
}

void DataFileCommands::SpeedButton2Click() {
    if (!lastOpened_.isEmpty())
        offerAgain(*OpenDialog1_, lastOpened_);
    else
        last_folder::applyTo(*OpenDialog1_);
    if (OpenDialog1_->exec() != QDialog::Accepted || OpenDialog1_->selectedFiles().isEmpty()) return;
    lastOpened_ = OpenDialog1_->selectedFiles().front();
    last_folder::remember(lastOpened_);
    const bool wasEmpty = table_.rowCount() == 0;
    const bool xml = meterlink::dataFileFormat(lastOpened_) == meterlink::DataFileFormat::Xml;
    QString reason;
    if (!meterlink::LoadTableFromFile(lastOpened_, table_, false, &reason)) {
        tell(true, meterlink::loadFailedMessage(), reason);
        return;
    }
    emit loaded(wasEmpty || xml);
}

void DataFileCommands::BtPrintClick() {
    if (reportSource_) reportSource_(report_);
    report_.printed = QDateTime();   // now, at each print
    report_preview::show(table_, window_, report_);
    window_->update();
}
