#pragma once
// A sunken caption panel that acts as a button: the serial port choice of the
// top bar. Clicking it reports clicked(); a disabled panel ignores the mouse.

#include <QLabel>

class PortPanel : public QLabel {
    Q_OBJECT
public:
    explicit PortPanel(const QString& caption, QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    // The second press of a double-click is not a new click: the first click
    // has already moved the port on, and the panel shown now is the next one.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};
