#pragma once
// The analysis window: the log against date and time, to zoom, pan and
// measure, with its statistics beside the chart, and saved logs drawn beside
// the live one. A window of its own, fed by the record table it is given; it
// knows nothing of the main window.


#include <QPointer>
#include <QWidget>

#include <cstdint>

#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace meterlink {
class RecordTable;
}

namespace meterlink {
// Declared here alone: the log's own verdict type must stay out of headers
// that moc reads beside the limit judge's.
enum class BaseUnit : std::uint8_t;
}

namespace meterlink::analysis {

class AnalysisChart;
class LogTrace;

class AnalysisWindow : public QWidget {
    Q_OBJECT
public:
    // decimalSep: the separator the live log's values were shown with.
    AnalysisWindow(const RecordTable& live, const QString& decimalSep, QWidget* parent = nullptr);
    ~AnalysisWindow() override;

    static QString title() { return QStringLiteral("Analysis"); }

    // A limit in SI units; unit is its SI symbol, or empty when it was typed
    // without one (then it is drawn in whatever unit is shown).
    struct Limit {
        double value = 0;
        QString unit;
    };
    void setLimits(std::optional<Limit> high, std::optional<Limit> low);

    AnalysisChart* chart() const { return chart_; }
    QComboBox* unitChoice() const { return unit_; }
    QComboBox* alignChoice() const { return align_; }
    QToolButton* followButton() const { return follow_; }
    QLabel* statisticsLabel() const { return statistics_; }
    QLabel* readoutLabel() const { return readout_; }
    QLabel* cursorLabel() const { return cursorText_; }
    int traceCount() const { return static_cast<int>(traces_.size()); }
    const LogTrace& trace(int i) const { return *traces_[static_cast<std::size_t>(i)]; }

    // Loads a saved log beside the live one, in the background; loaded()
    // tells when it is drawn, failed() why not.
    void openLog(const QString& fileName);
    // Takes a table already read (tests, callers that hold one).
    void addLog(std::unique_ptr<RecordTable> table, const QString& name);
    // Draws everything and its catching up to the log's rows now.
    void catchUpNow();

    // Writes the chart as PNG, SVG or PDF, chosen by the name's extension.
    bool saveView(const QString& fileName, QString* reason = nullptr) const;

    // The text of the statistics panel and the cursor readout, refreshed.
    void refreshTexts();

signals:
    void loaded(const QString& fileName);
    void failed(const QString& fileName, const QString& reason);

private:
    void openLogClicked();
    void saveViewClicked();
    void liveRowsAppended();
    void catchUpSlice();
    void updateUnits();
    void applyAlignment();
    void refreshReadout();
    void scheduleTexts();
    std::optional<double> limitFor(const std::optional<Limit>& limit) const;

    QString decimalSep_;
    std::vector<std::unique_ptr<LogTrace>> traces_;
    AnalysisChart* chart_ = nullptr;
    QComboBox* unit_ = nullptr;
    QComboBox* align_ = nullptr;
    QToolButton* follow_ = nullptr;
    QLabel* statistics_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* cursorText_ = nullptr;
    QTimer* catchUp_ = nullptr;
    QTimer* texts_ = nullptr;
    std::optional<Limit> high_, low_;
    int pendingLoads_ = 0;
    QStringList askedByUser_;   // their failures get a message box
};

}  // namespace meterlink::analysis
