#pragma once
// Where a file dialog opens: the folder a file was last chosen in (kept in
// the settings, so a new run starts there too), else the user's documents
// folder; never the folder the program happened to be started from.

#include <QString>

class QFileDialog;

namespace last_folder {

QString folder();
// Remembers the folder of a chosen file, or a folder itself.
void remember(const QString& fileOrFolder);
// Opens the dialog in folder().
void applyTo(QFileDialog& dialog);

}  // namespace last_folder
