#pragma once
// The record bar's file commands: save the log, open an earlier log, and
// print it from a preview. The open dialog lives as long as the window and
// offers the last file again; the save dialog is made anew each time, so it
// starts without a name, in the folder and type chosen last.

#include "app/dialog_filter.h"

#include <QList>
#include <QObject>

class QFileDialog;
class QWidget;

namespace meterlink {
class RecordTable;
}

class DataFileCommands : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kSaveFilter =
        "Excel File(*.xls)|*.xls|XML(*.xml)|*.xml|Txt File(*.txt)|*.txt|CSV (*.csv)|*.csv|JSON lines (*.jsonl)|*.jsonl";
    static constexpr const char* kOpenFilter =
        "Excel File(*.xls)|*.xls|XML (*.xml)|*.xml|Txt File(*.txt)|*.txt|CSV (*.csv)|*.csv|JSON lines (*.jsonl)|*.jsonl";

    DataFileCommands(meterlink::RecordTable& table, QWidget* window);

    // Save: ask for a name, save in the format it selects, say how it went.
    void saveasClick();
    // Open: ask for a file and load it; text rows join the log, an XML
    // packet replaces it.
    void SpeedButton2Click();
    // Print: the report in a modal preview, from which the user prints.
    void BtPrintClick();

signals:
    // The log's rows are all in the file just written.
    void saved();
    // A file was loaded; wholeFile: the log now holds exactly its rows.
    void loaded(bool wholeFile);

private:
    void tell(bool failure, const QString& text, const QString& reason = QString());

    meterlink::RecordTable& table_;
    QWidget* window_;
    QList<DialogFilter> saveFilters_;
    QString saveFolder_;
    QString saveFilter_;
    QFileDialog* OpenDialog1_;
    QString lastOpened_;
};
