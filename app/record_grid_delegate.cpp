#include "record_grid_delegate.h"

#include <QPainter>

namespace {

constexpr int kMargin = 2;          // between the text and the cell's edges
constexpr int kCacheLimit = 1024;   // a few screens of cells

}  // namespace

const RecordGridDelegate::Shaped& RecordGridDelegate::shaped(const QString& text, const QFont& font,
                                                             int width) const {
    if (font != cachedFont_ || cache_.size() > kCacheLimit) {
        cache_.clear();
        cachedFont_ = font;
    }
    const QString key = text + QChar(0x1F) + QString::number(width);
    auto it = cache_.find(key);
    if (it == cache_.end()) {
        const QFontMetrics metrics(font);
        Shaped s;
        s.text.setText(metrics.elidedText(text, Qt::ElideRight, width));
        s.text.setTextFormat(Qt::PlainText);
        s.text.setPerformanceHint(QStaticText::AggressiveCaching);
        s.text.prepare(QTransform(), font);
        s.size = s.text.size();
        it = cache_.insert(key, s);
    }
    return *it;
}

void RecordGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const bool selected = option.state & QStyle::State_Selected;
    if (selected) painter->fillRect(option.rect, option.palette.brush(QPalette::Highlight));
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty()) return;

    const QRect room = option.rect.adjusted(kMargin, 0, -kMargin, 0);
    const Shaped& s = shaped(text, option.font, room.width());
    const auto align = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    qreal x = room.left();
    if (align & Qt::AlignRight) x = room.right() + 1 - s.size.width();
    else if (align & Qt::AlignHCenter) x = room.left() + (room.width() - s.size.width()) / 2;
    const qreal y = room.top() + (room.height() - s.size.height()) / 2;

    painter->save();
    painter->setFont(option.font);
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setClipRect(option.rect);
    painter->drawStaticText(QPointF(x, y), s.text);
    painter->restore();
}
