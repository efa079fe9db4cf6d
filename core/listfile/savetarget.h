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
    // The file was reached through a link under /proc that the system
    // resolves to the open file itself (/proc/self/fd/3, /dev/stdout), not
    // to a name: it has no folder or name of its own here, and is written
    // where it is.
    bool reachedByObject = false;
    // Whether `file` may be read: the owner's file of mode 0200 may only be
    // written.
    bool readable = true;

    bool exists() const { return file.isOpen(); }
};

// Walks `fileName` a component at a time, as the system does, each step
// relative to the folder reached so far: a link is read and followed from
// the folder that holds it, and ".." after a link to a folder leads to that
// folder's parent. The system's protected_symlinks and protected_regular
// rules hold whoever saves, root included, and whatever the system is set
// to: a link or a file that another user planted in a sticky folder that
// others may write is refused. A link under /proc is followed by the system
// itself, which resolves such links to what they stand for (a process's
// root folder in another mount namespace, a file that has been deleted),
// not to their text.
SaveTarget openSaveTarget(const QString &fileName);

} // namespace listfile
