#include "listfile.h"

#include "entrylist.h"
#include "filereasons.h"
#include "filestart.h"
#include "listfilewriting.h"
#include "newfilereason.h"
#include "savetarget.h"

#include <QByteArray>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <new>

namespace listfile {

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

// Qt reports a short write as "Unknown error"; errno still says why (the
// disk is full, the file is too large).
QString failureReason(const QFileDevice &file, int systemError)
{
    return systemError != 0 ? QString::fromLocal8Bit(std::strerror(systemError))
                            : file.errorString();
}

bool writeAll(QFileDevice &file, QByteArrayView bytes, QString &reason)
{
    errno = 0;
    if (file.write(bytes.data(), bytes.size()) == bytes.size())
        return true;
    reason = failureReason(file, errno);
    return false;
}

bool flush(QFileDevice &file, QString &reason)
{
    errno = 0;
    if (file.flush())
        return true;
    reason = failureReason(file, errno);
    return false;
}

// The first FileStartSize bytes the entries make, or all of them.
QByteArray startOf(const EntryList &list)
{
    QByteArray start;
    for (qint16 position = 0; position < list.Count() && start.size() < FileStartSize; ++position)
        start +=
                list.Item(position).first(qMin(list.Item(position).size(), FileStartSize)) + "\r\n";
    start.truncate(FileStartSize);
    return start;
}

// The list goes to a new file that replaces the old one only when all of it
// is written. Qt 6.4's commit() reports success and replaces the old file
// even after a short write or a failed final flush, so every write and the
// flush are checked. `created` tells whether the new file could be made.
FileResult replaceFile(const QString &path, const QString &fileName, const EntryList &list,
                       bool &created)
{
    QSaveFile file(path);
    errno = 0;
    created = file.open(QIODevice::WriteOnly);
    if (!created) {
        const int systemError = errno;
        return FileResult::failure(fileName,
                                   newFileFailureReason(path, systemError, file.errorString()));
    }
    try {
        if (const QString reason = writeEntries(file, list); !reason.isEmpty()) {
            file.cancelWriting();
            return FileResult::failure(fileName, reason);
        }
    } catch (const std::bad_alloc &) {
        file.cancelWriting();
        throw;
    }
    if (!file.commit() || file.error() != QFileDevice::NoError)
        return FileResult::failure(fileName, file.errorString());
    return FileResult::success();
}

} // namespace

QString writeEntries(QFileDevice &file, const EntryList &list)
{
    QString reason;
    QByteArray buffer;
    buffer.reserve(chunkSize + 1024);
    if (needsUtf8Mark(startOf(list)))
        buffer += Utf8Mark;
    for (qint16 position = 0; position < list.Count(); ++position) {
        const QByteArray &entry = list.Item(position);
        // A long entry goes straight to the file rather than through a copy.
        if (entry.size() >= chunkSize) {
            if (!writeAll(file, buffer, reason) || !writeAll(file, entry, reason))
                return reason;
            buffer.clear();
        } else {
            buffer += entry;
        }
        buffer += "\r\n";
        if (buffer.size() >= chunkSize) {
            if (!writeAll(file, buffer, reason))
                return reason;
            buffer.clear();
        }
    }
    if (!writeAll(file, buffer, reason) || !flush(file, reason))
        return reason;
    return {};
}

FileResult WriteListFile(const QString &fileName, const EntryList &list)
{
    if (const QString reason = unusableFileReason(fileName); !reason.isEmpty())
        return FileResult::failure(fileName, reason);
    const SaveTarget target = findSaveTarget(fileName);
    if (!target.refusal.isEmpty())
        return FileResult::failure(fileName, target.refusal);

    try {
        if (!target.keepInPlace) {
            bool created = false;
            const FileResult replaced = replaceFile(target.path, fileName, list, created);
            // A folder that takes no new file may still let its file be
            // written.
            if (created || !target.exists)
                return replaced;
        }
        if (const QString reason = writeInPlace(target.path, list); !reason.isEmpty())
            return FileResult::failure(fileName, reason);
        return FileResult::success();
    } catch (const std::bad_alloc &) {
        return FileResult::failure(fileName, outOfMemoryReason());
    }
}

} // namespace listfile
