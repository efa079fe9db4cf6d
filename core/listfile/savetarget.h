#pragma once

#include <QString>

namespace listfile {

// The file a save under a chosen name writes, and how it may write it.
struct SaveTarget
{
    // The file itself, every link on the way followed.
    QString path;
    // Why the name must not be written, in words a person can read; empty
    // when it may be.
    QString refusal;
    bool exists = false;
    // Replacing the file with a new one would change what it is: its owner
    // or group, its extended attributes, or its other names (hard links).
    // Such a file is written where it is.
    bool keepInPlace = false;
};

// Follows the links of `fileName` as the system would, refusing one that
// another user planted in a shared folder: a link in a sticky folder that
// everyone may write, owned neither by the folder's owner nor by the person
// saving. The system's protected_symlinks refuses those, but a save that
// replaces the file renames over the link's target without following it.
SaveTarget findSaveTarget(const QString &fileName);

} // namespace listfile
