#pragma once
// Replaces a file in one step, and only with a complete copy that is on the
// disk: every write, the flush and the commit are checked, and the data is
// synced before the rename puts it in place. On any failure the old file is
// left byte for byte, the temporary file is removed and the reason is given.

#include <QString>

#include <functional>

class QIODevice;

namespace meterlink {

// Writes the body into the device; false (with a reason, or an empty one when
// the device's own error says it) when it could not.
using FileBodyWriter = std::function<bool(QIODevice& out, QString& reason)>;

bool writeFileSafely(const QString& fileName, const FileBodyWriter& write, QString* reason = nullptr);

}  // namespace meterlink
