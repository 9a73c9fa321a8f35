#pragma once
// Fonts of the window's design, given by face name and character height in
// pixels. The captions were sized for narrow faces: where the named face is
// not installed, a metric-compatible or a condensed sans face stands in so
// that they still fit their boxes.

#include <QFont>
#include <QString>

QFont designFont(const QString& family, int pixelSize, bool bold = false);

// The window's own font ("MS Sans Serif" 11 px bold, or its stand-in).
QFont windowFont();
