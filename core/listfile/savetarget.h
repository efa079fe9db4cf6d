#pragma once

#include "filedescriptor.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

namespace listfile {

// The file a save under a chosen name writes, named once: the folder that
// holds it is open, and every later step works relative to that folder.
struct SaveTarget
{
    // Why the name must not be written, in words a person can read; empty
    // when it may be.
    QString refusal;
    // The folder the file is (or will be) in, opened with O_PATH.
    FileDescriptor folder;
    // The file's own name in `folder`: one component, as the system has it.
    QByteArray name;
    // The existing file, opened for reading and writing and never through a
    // link; not open when there is no file of that name yet.
    FileDescriptor file;
    // The status of `file`, when it is open.
    struct stat status = {};

    bool exists() const { return file.isOpen(); }
};

// Follows the links of `fileName` as the system does: the folders on the
// way are left to the system itself, and a link in the last place is read
// and followed here, relative to the folder that holds it, as the system
// would follow it. The system's protected_symlinks and protected_regular
// rules hold whoever saves, root included: a link or a file that another
// user planted in a sticky folder that others may write is refused.
SaveTarget openSaveTarget(const QString &fileName);

} // namespace listfile
