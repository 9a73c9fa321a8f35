#pragma once
// The log as the grid shows it: six columns over the record table (NVal has
// none), read-only, with the grid's titles and alignments. Unit texts are
// shown with the signs the LCD uses; the table keeps them as decoded.

#include "recording/record_table.h"

#include <QAbstractTableModel>

class RecordTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 6;

    explicit RecordTableModel(meterlink::RecordTable& table, QObject* parent = nullptr);

    // The table field that a column shows.
    static meterlink::RecordTable::Field fieldOf(int column);
    static int columnWidth(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const meterlink::RecordTable& table() const { return table_; }

private:
    void onRowsAppended(int first, int last);
    void onCleared();

    meterlink::RecordTable& table_;
    // The rows announced to views so far: the table has already grown when it
    // tells us, and a model must not grow before beginInsertRows.
    int shown_ = 0;
};
