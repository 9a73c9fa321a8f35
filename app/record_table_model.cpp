#include "record_table_model.h"

#include "recording/unit_text.h"

using meterlink::RecordTable;

namespace {

struct Column {
    RecordTable::Field field;
    const char* title;
    int width;
    Qt::Alignment alignment;
};

constexpr Column kColumns[RecordTableModel::kColumnCount] = {
    // Wide enough for record 10,000,000, "DutyCycle" and a five-place value in
    // the grid's fixed width.
    {RecordTable::No, "No.", 59, Qt::AlignRight | Qt::AlignVCenter},
    {RecordTable::Time, "Time", 52, Qt::AlignCenter},
    {RecordTable::DCAC, "Function", 60, Qt::AlignCenter},
    {RecordTable::Value, "Value", 47, Qt::AlignRight | Qt::AlignVCenter},
    {RecordTable::Unit, "Unit", 30, Qt::AlignRight | Qt::AlignVCenter},
    {RecordTable::Auto, "Judge", 34, Qt::AlignLeft | Qt::AlignVCenter},
};

}  // namespace

RecordTableModel::RecordTableModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table), shown_(table.rowCount()) {
    connect(&table_, &RecordTable::rowsAppended, this, &RecordTableModel::onRowsAppended);
    connect(&table_, &RecordTable::cleared, this, &RecordTableModel::onCleared);
}

RecordTable::Field RecordTableModel::fieldOf(int column) { return kColumns[column].field; }

int RecordTableModel::columnWidth(int column) { return kColumns[column].width; }

int RecordTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shown_; }

int RecordTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant RecordTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= shown_) return {};
    const Column& column = kColumns[index.column()];
    switch (role) {
    case Qt::DisplayRole: {
        const QString text = table_.text(index.row(), column.field);
        return column.field == RecordTable::Unit ? unitDisplayText(text) : text;
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(column.alignment);
    default:
        return {};
    }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) return {};
    if (role == Qt::DisplayRole) return QString::fromLatin1(kColumns[section].title);
    return {};
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void RecordTableModel::onRowsAppended(int first, int last) {
    if (first != shown_) {   // a view must never see rows appear out of order
        beginResetModel();
        shown_ = last + 1;
        endResetModel();
        return;
    }
    beginInsertRows({}, first, last);
    shown_ = last + 1;
    endInsertRows();
}

void RecordTableModel::onCleared() {
    // Rows that replace the old ones are announced by rowsAppended next.
    beginResetModel();
    shown_ = 0;
    endResetModel();
}
