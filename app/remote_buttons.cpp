#include "app/remote_buttons.h"

#include <QPushButton>

namespace {
// The buttons the row shows: the first of the command table's, in its order.
constexpr std::size_t kShown = 7;
}

RemoteButtons::RemoteButtons(QWidget* parent) : QToolBar(QStringLiteral("Remote buttons"), parent) {
    setObjectName(QStringLiteral("RemoteButtons"));
    setMovable(false);
    setFloatable(false);
    std::size_t count = 0;
    const meterlink::AbCdButton* buttons = meterlink::abCdButtons(count);
    for (std::size_t i = 0; i < count && i < kShown; ++i) {
        const meterlink::AbCdButton& b = buttons[i];
        auto* button = new QPushButton(QString::fromLatin1(b.caption.data(), static_cast<int>(b.caption.size())), this);
        button->setObjectName(QStringLiteral("Remote_") + QString::fromLatin1(b.name.data(), static_cast<int>(b.name.size())));
        button->setFocusPolicy(Qt::NoFocus);
        const meterlink::AbCdCommand command = b.command;
        connect(button, &QPushButton::clicked, this, [this, command] { emit pressed(command); });
        addWidget(button);
    }
}

QPushButton* RemoteButtons::button(const char* name) const {
    return findChild<QPushButton*>(QStringLiteral("Remote_") + QLatin1String(name));
}
