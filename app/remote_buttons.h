#pragma once
// The meter's buttons at a distance, for models that take commands: a small
// row (Hold, Range, Auto, Rel, Min/Max, Select, Light) at the foot of the
// window. It only says which button was pressed; the link sends it.

#include "protocol/meters/unit_abcd_commands.h"

#include <QToolBar>

class QPushButton;

class RemoteButtons : public QToolBar {
    Q_OBJECT
public:
    explicit RemoteButtons(QWidget* parent = nullptr);

    // The button of a command's name ("hold"), for tests; nullptr for none.
    QPushButton* button(const char* name) const;

signals:
    void pressed(meterlink::AbCdCommand command);
};
