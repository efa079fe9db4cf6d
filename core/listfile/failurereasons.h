#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace listfile {

// Every reason this library gives why a list file cannot be read or written,
// in words a person can read.

// The system's own words for an errno value.
QString systemReason(int systemError);

// Empty when the name can name a file at all: not empty, valid UTF-8, no NUL.
QString unusableNameReason(const QString &fileName);
// Empty for a regular file; `mode` is st_mode.
QString fileTypeReason(mode_t mode);

QString tooManyLinesReason(qint64 lines, qint16 room);
// Several files read as one.
QString tooManyLinesInFilesReason(qint64 lines, qint16 room);
QString utf16Reason();
QString tooLargeReason(qint64 size, qint64 room);
// A file that went past `limit` bytes; `statedSize` is what it claimed.
QString endlessReason(qint64 statedSize, qint64 limit);
QString outOfMemoryReason();
// Another program wrote to the file, cut it or replaced it while it was read.
QString changedFileReason();
// A file that had nothing to give, and would have made the reader wait.
QString waitingFileReason();
// A file that ended after `size` bytes, before the size it states.
QString endedEarlyReason(qint64 size, qint64 statedSize);
// A name longer than the system takes in one piece, as Open and Save say it.
QString tooLongNameReason();
QString deletedFolderReason();
// A file that is open somewhere but has no name left (a link under /proc).
QString deletedFileReason();
// The file's name became a link between looking at it and opening it.
QString nameChangedReason();
// The file holds the new list, but the folder's sync after renaming failed.
QString folderSyncReason(const QString &reason);

// A link another user made in a shared, sticky folder (`folder`).
QString plantedLinkReason(const QByteArray &folder);
// A file another user made in a shared, sticky folder.
QString plantedFileReason();
// The safety copy that an in-place save makes first.
QString copyAsideReason(const QString &reason);
// A save that failed and could not put the old content back; it is in `copy`.
QString oldContentKeptReason(const QString &reason, const QString &restoreFailure,
                             const QByteArray &copy);
// The same, where the old content could not be kept in a file of its own.
QString oldContentLostReason(const QString &reason, const QString &restoreFailure,
                             const QString &keepFailure);

} // namespace listfile
