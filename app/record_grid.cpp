#include "record_grid.h"

#include "quiet_scroll_bar.h"
#include "record_grid_delegate.h"
#include "record_table_model.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QWheelEvent>

#include <algorithm>

RecordGridWindow::RecordGridWindow(const RecordTableModel& source, QObject* parent)
    : QAbstractTableModel(parent), source_(source) {}

void RecordGridWindow::setWindow(int first, int count) {
    if (count != count_) {
        beginResetModel();
        first_ = first;
        count_ = count;
        endResetModel();
        return;
    }
    if (first == first_ || count_ == 0) {
        first_ = first;
        return;
    }
    first_ = first;
    emit dataChanged(index(0, 0), index(count_ - 1, RecordTableModel::kColumnCount - 1),
                     {Qt::DisplayRole, Qt::TextAlignmentRole});
}

void RecordGridWindow::shiftQuietly(int first) { first_ = first; }

int RecordGridWindow::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : count_; }

int RecordGridWindow::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RecordTableModel::kColumnCount;
}

QVariant RecordGridWindow::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    return source_.data(source_.index(first_ + index.row(), index.column()), role);
}

QVariant RecordGridWindow::headerData(int section, Qt::Orientation orientation, int role) const {
    return source_.headerData(section, orientation, role);
}

Qt::ItemFlags RecordGridWindow::flags(const QModelIndex& index) const {
    return source_.flags(source_.index(first_ + index.row(), index.column()));
}

RecordGrid::RecordGrid(RecordTableModel& model, QWidget* parent)
    : QFrame(parent), model_(model), window_(new RecordGridWindow(model, this)) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("DBGrid1View"));
    view_->setFrameStyle(QFrame::NoFrame);
    view_->setModel(window_);
    view_->setItemDelegate(new RecordGridDelegate(view_));
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setFocusPolicy(Qt::StrongFocus);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < RecordTableModel::kColumnCount; ++c)
        view_->setColumnWidth(c, RecordTableModel::columnWidth(c));
    view_->viewport()->installEventFilter(this);
    view_->installEventFilter(this);
    connect(view_, &QTableView::clicked, this,
            [this](const QModelIndex& index) { setCurrentRow(window_->first() + index.row()); });

    bar_ = new QuietScrollBar(Qt::Vertical, this);
    bar_->setObjectName(QStringLiteral("DBGrid1ScrollBar"));
    connect(bar_, &QScrollBar::valueChanged, this, [this](int) { refresh(); });

    connect(&model_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int, int last) { onRowsInserted(last); });
    connect(&model_, &QAbstractItemModel::modelReset, this, &RecordGrid::onReset);
    onReset();
}

int RecordGrid::pageRows() const {
    const int rowHeight = std::max(1, view_->verticalHeader()->defaultSectionSize());
    const int height = view_->viewport()->height();
    return std::max(1, height / rowHeight);
}

void RecordGrid::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    const QRect inside = contentsRect();
    const int barWidth = bar_->sizeHint().width();
    view_->setGeometry(inside.adjusted(0, 0, -barWidth, 0));
    bar_->setGeometry(inside.right() - barWidth + 1, inside.top(), barWidth, inside.height());
    refresh();
}

void RecordGrid::refresh() {
    const int total = model_.rowCount();
    const int page = pageRows();
    const int lastFirst = std::max(0, total - page);
    {
        const QSignalBlocker block(bar_);
        bar_->setRange(0, lastFirst);
        bar_->setPageStep(page);
        bar_->setSingleStep(1);
    }
    const int first = std::clamp(bar_->value(), 0, lastFirst);
    // One row more than fits whole, so a part row shows at the bottom.
    const int count = std::min(page + 1, total - first);
    const int down = first - window_->first();
    if (count == window_->rowCount() && down > 0 && down < count && view_->isVisible()) {
        // Following the newest row: the rows on screen move up as pixels and
        // only the rows that come into view are painted.
        window_->shiftQuietly(first);
        QWidget* viewport = view_->viewport();
        viewport->scroll(0, -down * view_->verticalHeader()->defaultSectionSize());
        // The rows that came in are painted whole: the blank strip below the
        // last row moved up into the first of them.
        const int top = view_->visualRect(window_->index(count - down, 0)).top();
        viewport->update(0, top, viewport->width(), viewport->height() - top);
    } else {
        window_->setWindow(first, count);
    }
    showCurrent();
}

void RecordGrid::showCurrent() {
    // A highlight that moved with the pixels but is no longer current.
    const int stale = highlighted_ - window_->first();
    if (highlighted_ != current_ && stale >= 0 && stale < window_->rowCount()) {
        const QRect cell = view_->visualRect(window_->index(stale, 0));
        view_->viewport()->update(0, cell.top(), view_->viewport()->width(), cell.height());
    }
    highlighted_ = current_;
    const int row = current_ - window_->first();
    if (current_ < 0 || row < 0 || row >= window_->rowCount()) {
        view_->clearSelection();
        return;
    }
    view_->selectRow(row);
}

void RecordGrid::scrollToRow(int row) {
    const int page = pageRows();
    int first = bar_->value();
    if (row < first) first = row;
    else if (row >= first + page) first = row - page + 1;
    if (first != bar_->value()) {
        const QSignalBlocker block(bar_);
        bar_->setMaximum(std::max(bar_->maximum(), first));
        bar_->setValue(first);
    }
    refresh();
}

void RecordGrid::setCurrentRow(int row) {
    const int total = model_.rowCount();
    current_ = total == 0 ? -1 : std::clamp(row, 0, total - 1);
    if (current_ >= 0) scrollToRow(current_);
    else refresh();
}

void RecordGrid::onRowsInserted(int last) { setCurrentRow(last); }

void RecordGrid::onReset() {
    current_ = model_.rowCount() - 1;
    if (current_ >= 0) scrollToRow(current_);
    else refresh();
}

bool RecordGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport() && event->type() == QEvent::Wheel) {
        // The view shows only the window: scrolling moves the window.
        QCoreApplication::sendEvent(bar_, event);
        return true;
    }
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int page = pageRows();
        int to = current_;
        switch (key->key()) {
        case Qt::Key_Up: to -= 1; break;
        case Qt::Key_Down: to += 1; break;
        case Qt::Key_PageUp: to -= page; break;
        case Qt::Key_PageDown: to += page; break;
        case Qt::Key_Home: to = 0; break;
        case Qt::Key_End: to = model_.rowCount() - 1; break;
        default: return false;
        }
        setCurrentRow(to);
        return true;
    }
    return QFrame::eventFilter(watched, event);
}
