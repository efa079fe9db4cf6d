#pragma once

#include <QString>

class QFileDevice;
namespace core {
class EntryList;
}

namespace listfile {

using core::EntryList;

// Writes every entry at the file's position, with the mark when the list
// needs one, and flushes. Returns why it failed, or nothing.
QString writeEntries(QFileDevice &file, const EntryList &list);

// Writes the list into the existing file `path` itself, keeping its owner,
// group, mode, extended attributes and other names. The old content is
// copied aside first and put back if the write fails.
QString writeInPlace(const QString &path, const EntryList &list);

} // namespace listfile
