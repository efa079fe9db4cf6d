#include "listfile.h"

#include "entrylist.h"
#include "filereasons.h"
#include "filestart.h"
#include "newfilereason.h"

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
bool writeAll(QSaveFile &file, QByteArrayView bytes, int &systemError)
{
    errno = 0;
    if (file.write(bytes.data(), bytes.size()) == bytes.size())
        return true;
    systemError = errno;
    return false;
}

bool flush(QSaveFile &file, int &systemError)
{
    errno = 0;
    if (file.flush())
        return true;
    systemError = errno;
    return false;
}

// Abandons the new file so that the old one stays as it was. The reason is
// taken first: cancelling replaces it.
FileResult abandon(QSaveFile &file, int systemError)
{
    const QString reason = systemError != 0 ? QString::fromLocal8Bit(std::strerror(systemError))
                                            : file.errorString();
    file.cancelWriting();
    return FileResult::failure(file.fileName(), reason);
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

FileResult writeEntries(QSaveFile &file, const EntryList &list)
{
    int systemError = 0;
    QByteArray buffer;
    buffer.reserve(chunkSize + 1024);
    if (needsUtf8Mark(startOf(list)))
        buffer += Utf8Mark;
    for (qint16 position = 0; position < list.Count(); ++position) {
        const QByteArray &entry = list.Item(position);
        // A long entry goes straight to the file rather than through a copy.
        if (entry.size() >= chunkSize) {
            if (!writeAll(file, buffer, systemError) || !writeAll(file, entry, systemError))
                return abandon(file, systemError);
            buffer.clear();
        } else {
            buffer += entry;
        }
        buffer += "\r\n";
        if (buffer.size() >= chunkSize) {
            if (!writeAll(file, buffer, systemError))
                return abandon(file, systemError);
            buffer.clear();
        }
    }
    if (!writeAll(file, buffer, systemError) || !flush(file, systemError))
        return abandon(file, systemError);
    if (!file.commit() || file.error() != QFileDevice::NoError)
        return FileResult::failure(file.fileName(), file.errorString());
    return FileResult::success();
}

} // namespace

FileResult WriteListFile(const QString &fileName, const EntryList &list)
{
    if (const QString reason = unusableFileReason(fileName); !reason.isEmpty())
        return FileResult::failure(fileName, reason);

    // The list goes to a temporary file that replaces the old one only when
    // all of it is written. Qt 6.4's commit() reports success and replaces
    // the old file even after a short write or a failed final flush, so
    // every write and the flush are checked here.
    QSaveFile file(fileName);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const int systemError = errno;
        return FileResult::failure(fileName,
                                   newFileFailureReason(fileName, systemError, file.errorString()));
    }
    try {
        return writeEntries(file, list);
    } catch (const std::bad_alloc &) {
        file.cancelWriting();
        return FileResult::failure(fileName, outOfMemoryReason());
    }
}

} // namespace listfile
