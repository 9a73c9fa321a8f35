#include "app/record_to_file.h"

#include "app/last_folder.h"
#include "app/record_menu.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>

namespace {

struct FileKind {
    const char* filter;
    const char* suffix;
};
constexpr FileKind kKinds[] = {{"CSV (*.csv)", "csv"}, {"JSON lines (*.jsonl)", "jsonl"}};

}  // namespace

RecordToFile::RecordToFile(RecordMenu& menu, QStatusBar* statusBar, QWidget* window)
    : QObject(window), menu_(menu), window_(window) {
    status_ = new QLabel(statusBar);
    status_->setObjectName(QStringLiteral("RecordingStatus"));
    // A long path must not widen the fixed-size window: it is shortened instead.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar->addWidget(status_, 1);
    retry_.setInterval(1000);
    connect(&retry_, &QTimer::timeout, this, [this] {
        file_.retry();
        showState();
    });
    connect(menu.RecordToFile1(), &QAction::triggered, this, &RecordToFile::RecordToFile1Click);
    connect(menu.StopRecording1(), &QAction::triggered, this, &RecordToFile::StopRecording1Click);
    // Told after the row's pass is over, never from inside the logging step.
    connect(&file_, &meterlink::RecordingFile::writeFailed, this, [this](const QString& message) {
        retry_.start();
        QTimer::singleShot(0, this, [this, message] { tell(true, message); });
    });
    connect(&file_, &meterlink::RecordingFile::writeResumed, this, [this](const QString&) {
        retry_.stop();
        showState();
    });
    connect(&file_, &meterlink::RecordingFile::gaveUp, this, [this](const QString& message) {
        retry_.stop();
        showState();
        QTimer::singleShot(0, this, [this, message] { tell(true, message); });
    });
    showState();
}

void RecordToFile::tell(bool failure, const QString& text, const QString& detail) {
    QMessageBox box(failure ? QMessageBox::Critical : QMessageBox::Information,
                    failure ? QStringLiteral("Error") : QStringLiteral("Information"), text, QMessageBox::Ok,
                    window_);
    if (!detail.isEmpty()) box.setDetailedText(detail);
    box.exec();
}

void RecordToFile::RecordToFile1Click() {
    QFileDialog dialog(window_);
    dialog.setObjectName(QStringLiteral("RecordFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setWindowTitle(QStringLiteral("Record to File"));
    QStringList filters;
    for (const FileKind& k : kKinds) filters << QString::fromLatin1(k.filter);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QString::fromLatin1(kKinds[0].suffix));
    // A name typed without an extension gets the chosen kind's.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& selected) {
        for (const FileKind& k : kKinds)
            if (selected == QLatin1String(k.filter)) dialog.setDefaultSuffix(QString::fromLatin1(k.suffix));
    });
    last_folder::applyTo(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    last_folder::remember(path);
    startRecording(path);
}

bool RecordToFile::startRecording(const QString& path) {
    QString why;
    if (!file_.start(path, why)) {
        showState();
        tell(true, startFailedText(QDir::toNativeSeparators(path)), why);
        return false;
    }
    showState();
    return true;
}

void RecordToFile::StopRecording1Click() {
    const QString path = file_.path();
    const int waiting = file_.pendingRows();
    retry_.stop();
    if (!file_.stop()) {
        showState();
        tell(true,
             QStringLiteral("Recording to %1 stopped with %2 rows not written: the file cannot be written. The rows "
                            "are still in the log; save it to keep them.")
                 .arg(QDir::toNativeSeparators(path))
                 .arg(waiting));
        return;
    }
    showState();
}

void RecordToFile::rowLogged(const meterlink::RecordTable& table, int row, const QString& decimalSep) {
    if (!file_.active()) return;
    file_.appendRow(table, row, decimalSep.toStdString());
    if (file_.pendingRows() > 0) showState();
}

QString RecordToFile::statusText(const QString& path, int waiting) {
    if (path.isEmpty()) return QString();
    QString text = QStringLiteral("Recording to %1").arg(QDir::toNativeSeparators(path));
    if (waiting > 0) text += QStringLiteral(" (%1 rows wait to be written)").arg(waiting);
    return text;
}

void RecordToFile::showState() {
    const bool on = file_.active();
    const QString text = on ? statusText(file_.path(), file_.pendingRows()) : QString();
    status_->setToolTip(text);
    const int room = status_->width() > 50 ? status_->width() : window_->width() - 30;
    status_->setText(status_->fontMetrics().elidedText(text, Qt::ElideMiddle, room));
    menu_.StopRecording1()->setEnabled(on);
}
