#pragma once
// Paints the grid's cells: the text, elided to its column, and the
// highlight of the current row. The standard delegate lays each cell's text
// out afresh at every paint, which was most of the window's work while
// logging; here each text is shaped once and its glyphs are reused while it
// stays in view (the rows above the newest one are the same texts as before).

#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

class RecordGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct Shaped {
        QStaticText text;
        QSizeF size;
    };
    const Shaped& shaped(const QString& text, const QFont& font, int width) const;

    // Keyed by the text and the room it had; emptied when it grows large.
    mutable QHash<QString, Shaped> cache_;
    mutable QFont cachedFont_;
};
