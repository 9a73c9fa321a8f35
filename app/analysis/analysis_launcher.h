#pragma once
// Opens the analysis window on the live log, or brings it forward when it is
// open, and keeps its limit lines in step with the limit edits. The window is
// made when first asked for and let go when closed, so its summaries cost
// nothing while nobody looks.

#include "analysis_window.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QLineEdit;
class QWidget;

namespace meterlink {
class RecordTable;
}

namespace meterlink::analysis {


class AnalysisLauncher : public QObject {
    Q_OBJECT
public:
    // decimalSep gives the separator the log's values are shown with now.
    AnalysisLauncher(const RecordTable& live, std::function<QString()> decimalSep, QLineEdit* high, QLineEdit* low,
                     QWidget* owner);

    AnalysisWindow* open();
    AnalysisWindow* window() const { return window_; }

private:
    const RecordTable& live_;
    std::function<QString()> decimalSep_;
    QPointer<QLineEdit> high_, low_;
    QWidget* owner_;
    QPointer<AnalysisWindow> window_;
};

}  // namespace meterlink::analysis
