#pragma once
// A saved log (text, XML, CSV or JSON lines, as its name picks) read as
// points for statistics and charts, beside the window's own log.
//
//   PointVector points;
//   QString why;
//   if (!loadLogPoints(fileName, points, ".", &why)) ...
//   LogStatistics stats(points);  stats.catchUp();
//
// CSV and JSON lines give their SI values as written; text and XML are read
// through the record table with decimalSep, the separator their value texts
// were shown with. Rows without a full time are placed by their neighbours'
// times (or one second apart by row number) and marked timePlaced.

#include "log_points.h"

#include <QString>

namespace meterlink {

bool loadLogPoints(const QString& fileName, PointVector& out, std::string_view decimalSep, QString* reason);

// Places the points marked timePlaced between the neighbours that have a
// time, evenly; where a side has none, one second a row on from the other;
// where neither has, one second a row from the row number.
void placeMissingTimes(std::vector<LogPoint>& points);

}  // namespace meterlink
