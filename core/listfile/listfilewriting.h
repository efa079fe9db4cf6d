#pragma once

#include <QByteArrayView>
#include <QString>

namespace core {
class EntryList;
}

namespace listfile {

using core::EntryList;
struct SaveTarget;

// Writes all of `bytes` at the descriptor's position. Returns why it failed,
// or nothing.
QString writeAll(int fd, QByteArrayView bytes);

// Writes every entry at the descriptor's position, with the mark when the
// list needs one; `written` is how many bytes that made. Returns why it
// failed, or nothing.
QString writeEntries(int fd, const EntryList &list, qint64 &written);

// Makes what was written to the file last. A disk that runs out of room
// only when the data reaches it (thin storage, a quota on a network share)
// says so here and nowhere else. Returns why it failed, or nothing.
QString syncData(int fd);

// Gives a file made with O_TMPFILE, which has no name yet, the name `name`
// in `folder`; fails with EEXIST, as link() does, where the name is taken.
// Linking the descriptor itself takes a privilege; its path under /proc
// does not.
bool linkUnnamed(int fd, int folder, const QByteArray &name);

// Makes a new or changed name in the folder last. A folder that may not be
// read cannot be synced, and is not.
QString syncFolder(int folder);

// Whether putting a new file in the place of the existing one would change
// what the file is: its owner, its extended attributes (ACLs among them) or
// its other names (hard links). Such a file is written where it is.
bool replacingWouldChangeIt(const SaveTarget &target);

// Writes the list to a new file in the target's folder and puts it in the
// place of the old one, which stays whole until then; the folder's record
// of the new name is not yet flushed (syncFolder). The new file takes the
// old one's mode, group and owner. Returns why it failed, or nothing.
// `inPlaceInstead` is set when the file can still be written where it is: the
// folder takes no new file, the new file cannot take the old one's
// identity, or the old one cannot be renamed over (a bind mount).
QString replaceFile(SaveTarget &target, const EntryList &list, bool &inPlaceInstead);

// Writes the list into the existing file itself, keeping everything it is.
// First the list is written to a safety copy of its own in $TMPDIR (or
// /var/tmp), which takes its name only once it is whole and on disk, and
// stays should the program or the machine stop while the file is written:
// copied over the file, it finishes the save. It goes once the file holds
// the list on disk. The old content is kept aside too, unnamed, to be put
// back should the write fail. Without either nothing is written.
QString writeInPlace(SaveTarget &target, const EntryList &list);

} // namespace listfile
