#include "failurereasons.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace listfile {

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 0, QLocale::DataSizeSIFormat);
}

} // namespace

QString systemReason(int systemError)
{
    return QString::fromLocal8Bit(std::strerror(systemError));
}

QString unusableNameReason(const QString &fileName)
{
    if (fileName.isEmpty())
        return u"No file name was given."_s;
    // Qt turns the bytes of a name that are not UTF-8 into U+FFFD, and would
    // then open or create a file of another name.
    if (fileName.contains(QChar::ReplacementCharacter))
        return u"The file name is not valid UTF-8, so this program cannot use it. "
               u"Rename the file, or choose another name."_s;
    // The system would take the name as ending at the NUL, another file.
    if (fileName.contains(QChar::Null))
        return u"The file name holds a NUL character, which no file name can hold."_s;
    return {};
}

// Opening a FIFO blocks, and a device may never end: only regular files are
// read or written.
QString fileTypeReason(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return u"This is a folder, not a file."_s;
    return u"This is not an ordinary file; it may be a device or a pipe."_s;
}

QString tooManyLinesReason(qint64 lines, qint16 room)
{
    if (lines == 1)
        return u"The file has 1 line, but the list is full."_s;
    if (room == 0)
        return u"The file has %1 lines, but the list is full."_s.arg(lines);
    return u"The file has %1 lines, but the list can take only %2 more."_s.arg(lines).arg(room);
}

QString tooManyLinesInFilesReason(qint64 lines, qint16 room)
{
    if (room == 0)
        return u"The files have %1 lines together, but the list is full."_s.arg(lines);
    return u"The files have %1 lines together, but the list can take only %2 more."_s.arg(lines).arg(
            room);
}

QString utf16Reason()
{
    return u"The file is in UTF-16, which this program cannot read. "
           u"Save it as UTF-8 or as plain text first."_s;
}

QString tooLargeReason(qint64 size, qint64 room)
{
    return (u"The file is too large for the memory this program can get: it has %1, "
            u"and there is room for about %2."_s)
            .arg(sizeText(size), sizeText(room));
}

// System files such as /proc/self/pagemap claim to be regular files but
// never end, or go on past the size they state.
QString endlessReason(qint64 statedSize, qint64 limit)
{
    if (statedSize > 0)
        return (u"The file goes on past its stated size of %1. It may be a system file "
                u"that never ends, or a file still being written."_s)
                .arg(sizeText(statedSize));
    return (u"The file states no size and goes on past %1. It may be a system file "
            u"that never ends."_s)
            .arg(sizeText(limit));
}

QString outOfMemoryReason()
{
    return u"There is not enough memory for this file. The list is as it was."_s;
}

QString changedFileReason()
{
    return u"The file changed while it was read: another program wrote to it meanwhile. "
           u"The list is as it was."_s;
}

QString waitingFileReason()
{
    return u"The file has nothing to read yet. It may be a system file that waits for "
           u"events, such as kernel messages."_s;
}

QString plantedLinkReason(const QByteArray &folder)
{
    return (u"The name is a link that another user made in a shared folder (%1). Saving "
            u"through it could overwrite a file of their choosing, so this program does not "
            u"follow it."_s)
            .arg(QDir::toNativeSeparators(QFile::decodeName(folder)));
}

QString plantedFileReason()
{
    return u"The file belongs to another user and lies in a shared folder where anyone may "
           u"put files. Writing into it would give the list to them, so this program does "
           u"not write it. Choose another name."_s;
}

QString endedEarlyReason(qint64 size, qint64 statedSize)
{
    // Sizes that round alike are told to the byte.
    const bool alike = sizeText(size) == sizeText(statedSize);
    const auto sizeOf = [alike](qint64 bytes) {
        return alike ? u"%1 bytes"_s.arg(bytes) : sizeText(bytes);
    };
    return (u"The file ended after %1, though it states a size of %2: part of it could not "
            u"be read. It may be on a network file system that has not caught up with it yet. "
            u"The list is as it was."_s)
            .arg(sizeOf(size), sizeOf(statedSize));
}

QString tooLongNameReason()
{
    return systemReason(ENAMETOOLONG);
}

QString deletedFolderReason()
{
    return u"The folder no longer exists: it was deleted or moved away. Choose another "
           u"folder."_s;
}

QString deletedFileReason()
{
    return u"The file has been deleted: the list would be lost with it. Choose another "
           u"name."_s;
}

QString nameChangedReason()
{
    return u"Another program put a link in the file's place while it was saved. Nothing "
           u"was written; try again."_s;
}

QString folderSyncReason(const QString &reason)
{
    return (u"The new list is in the file, but the system could not make sure that the "
            u"folder's record of it is on disk (%1). After a power cut the file may hold "
            u"its old content."_s)
            .arg(reason);
}

QString copyAsideReason(const QString &reason)
{
    return u"The safety copy could not be made, so nothing was written: %1"_s.arg(reason);
}

QString oldContentKeptReason(const QString &reason, const QString &restoreFailure,
                             const QByteArray &copy)
{
    return u"%1. The old content could not be put back (%2); it is kept in %3."_s.arg(
            reason, restoreFailure, QDir::toNativeSeparators(QFile::decodeName(copy)));
}

QString oldContentLostReason(const QString &reason, const QString &restoreFailure,
                             const QString &keepFailure)
{
    return u"%1. The old content could not be put back (%2), nor kept in a file of its own "
           u"(%3)."_s.arg(reason, restoreFailure, keepFailure);
}

} // namespace listfile
