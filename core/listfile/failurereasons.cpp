#include "failurereasons.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <cstring>
#include <sys/stat.h>

namespace listfile {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ListFile", text);
}

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
        return tr("No file name was given.");
    // Qt turns the bytes of a name that are not UTF-8 into U+FFFD, and would
    // then open or create a file of another name.
    if (fileName.contains(QChar::ReplacementCharacter))
        return tr("The file name is not valid UTF-8, so this program cannot use it. "
                  "Rename the file, or choose another name.");
    // The system would take the name as ending at the NUL, another file.
    if (fileName.contains(QChar::Null))
        return tr("The file name holds a NUL character, which no file name can hold.");
    return {};
}

// Opening a FIFO blocks, and a device may never end: only regular files are
// read or written.
QString fileTypeReason(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return tr("This is a folder, not a file.");
    return tr("This is not an ordinary file; it may be a device or a pipe.");
}

QString tooManyLinesReason(qint64 lines, qint16 room)
{
    if (lines == 1)
        return tr("The file has 1 line, but the list is full.");
    if (room == 0)
        return tr("The file has %1 lines, but the list is full.").arg(lines);
    return tr("The file has %1 lines, but the list can take only %2 more.").arg(lines).arg(room);
}

QString tooManyLinesInFilesReason(qint64 lines, qint16 room)
{
    if (room == 0)
        return tr("The files have %1 lines together, but the list is full.").arg(lines);
    return tr("The files have %1 lines together, but the list can take only %2 more.")
            .arg(lines)
            .arg(room);
}

QString utf16Reason()
{
    return tr("The file is in UTF-16, which this program cannot read. "
              "Save it as UTF-8 or as plain text first.");
}

QString tooLargeReason(qint64 size, qint64 room)
{
    return tr("The file is too large for the memory this program can get: it has %1, "
              "and there is room for about %2.")
            .arg(sizeText(size), sizeText(room));
}

// System files such as /proc/self/pagemap claim to be regular files but
// never end, or go on past the size they state.
QString endlessReason(qint64 statedSize, qint64 limit)
{
    if (statedSize > 0)
        return tr("The file goes on past its stated size of %1. It may be a system file "
                  "that never ends, or a file still being written.")
                .arg(sizeText(statedSize));
    return tr("The file states no size and goes on past %1. It may be a system file "
              "that never ends.")
            .arg(sizeText(limit));
}

QString outOfMemoryReason()
{
    return tr("There is not enough memory for this file. The list is as it was.");
}

QString changedFileReason()
{
    return tr("The file changed while it was read: another program wrote to it meanwhile. "
              "The list is as it was.");
}

QString waitingFileReason()
{
    return tr("The file has nothing to read yet. It may be a system file that waits for "
              "events, such as kernel messages.");
}

QString plantedLinkReason(const QByteArray &folder)
{
    return tr("The name is a link that another user made in a shared folder (%1). Saving "
              "through it could overwrite a file of their choosing, so this program does not "
              "follow it.")
            .arg(QDir::toNativeSeparators(QFile::decodeName(folder)));
}

QString plantedFileReason()
{
    return tr("The file belongs to another user and lies in a shared folder where anyone may "
              "put files. Writing into it would give the list to them, so this program does "
              "not write it. Choose another name.");
}

QString copyAsideReason(const QString &reason)
{
    return tr("The old content could not be copied aside first, so nothing was written: %1")
            .arg(reason);
}

QString oldContentKeptReason(const QString &reason, const QString &restoreFailure,
                             const QByteArray &copy)
{
    return tr("%1. The old content could not be put back (%2); it is kept in %3.")
            .arg(reason, restoreFailure, QDir::toNativeSeparators(QFile::decodeName(copy)));
}

} // namespace listfile
