#pragma once
// The log grid: the record table shown through a window of as many rows as
// fit, with a scroll bar of its own over the whole log. A plain table view
// over the whole log recomputes every row's position after each append, which
// grows with the log; this grid's cost per appended row does not.
// Each appended row becomes the current row and is scrolled into view.

#include <QAbstractTableModel>
#include <QFrame>

class QScrollBar;
class QTableView;
class RecordTableModel;

// The rows [first, first + count) of the log, as a model of count rows.
class RecordGridWindow : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordGridWindow(const RecordTableModel& source, QObject* parent = nullptr);

    void setWindow(int first, int count);
    // Moves the window without telling the views: the caller repaints.
    void shiftQuietly(int first);
    int first() const { return first_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const RecordTableModel& source_;
    int first_ = 0;
    int count_ = 0;
};

class RecordGrid : public QFrame {
    Q_OBJECT
public:
    explicit RecordGrid(RecordTableModel& model, QWidget* parent = nullptr);

    RecordTableModel& model() const { return model_; }
    QTableView* view() const { return view_; }
    QScrollBar* scrollBar() const { return bar_; }
    // The row of the log that is current (highlighted), -1 when the log is empty.
    int currentRow() const { return current_; }
    int firstShownRow() const { return window_->first(); }
    // Rows that fit whole in the grid.
    int pageRows() const;

    void setCurrentRow(int row);
    void scrollToRow(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onRowsInserted(int last);
    void onReset();
    void refresh();
    void showCurrent();

    RecordTableModel& model_;
    RecordGridWindow* window_;
    QTableView* view_;
    QScrollBar* bar_;
    int current_ = -1;
    int highlighted_ = -1;   // the row painted as current
};
