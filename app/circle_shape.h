#pragma once
// A filled circle with a thin black outline, as large as the smaller side of
// the widget and centred in it: the verdict lamp of the limit panel.

#include <QColor>
#include <QWidget>

class CircleShape : public QWidget {
    Q_OBJECT
public:
    explicit CircleShape(QWidget* parent = nullptr);

    QColor brushColor() const { return brush_; }
    void setBrushColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_ = Qt::white;
};
