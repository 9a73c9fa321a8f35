#pragma once
// Versions before this one kept their settings and data folder under a name
// with blanks in it (the window's old title). On the first start under the
// plain name, what they left is moved over: the settings, unless new ones
// already exist, and every journal and file of the data folder that no
// running window of the old version holds.

#include <QString>
#include <QStringList>

namespace old_storage {

// The application name those versions used.
QString oldApplicationName();

struct Moved {
    bool settings = false;
    int files = 0;
    // Files that could not be moved (left where they are), with the reason.
    QStringList failures;
};

// Moves what the old name left into the current application's places.
// dataFolder: the current data folder (the old one is its sibling).
Moved moveOver(const QString& dataFolder);

}  // namespace old_storage
