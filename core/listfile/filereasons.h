#pragma once

#include <QString>

namespace listfile {

// Why a list file cannot be read or written, in words a person can read.

// Empty when the name may be read or replaced: only regular files (or links
// to them) and names that do not exist yet. Checked before opening, since
// opening a FIFO blocks and a device may never end.
QString unusableFileReason(const QString &fileName);

QString tooManyLinesReason(qint64 lines, qint16 room);
// Several files read as one.
QString tooManyLinesInFilesReason(qint64 lines, qint16 room);
QString utf16Reason();
QString tooLargeReason(qint64 size, qint64 room);
// A file that went past `limit` bytes; `statedSize` is what it claimed.
QString endlessReason(qint64 statedSize, qint64 limit);
QString outOfMemoryReason();
// A file that ended after `readSize` bytes, short of the `statedSize` it
// had when it was opened.
QString changedFileReason(qint64 statedSize, qint64 readSize);
// A file that had nothing to give, and would have made the reader wait.
QString waitingFileReason();

} // namespace listfile
