#include "digit_key_filter.h"

#include <QKeyEvent>

bool DigitKeyFilter::accepts(QChar key) {
    return key == QChar(8) || (key >= QLatin1Char('0') && key <= QLatin1Char('9'));
}

bool DigitKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (key->key() == Qt::Key_Backspace) return false;
        if (!text.isEmpty() && text.front().isPrint() && !accepts(text.front())) return true;
    }
    return QObject::eventFilter(watched, event);
}
