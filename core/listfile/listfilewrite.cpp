#include "listfile/listfile.h"

#include "entrylist/entrylist.h"
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
#include <utility>

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

// Gathers entries into chunks of one write each. Copying into a buffer of
// fixed size costs a fraction of growing a QByteArray entry by entry; an
// entry as large as a chunk goes straight to the file instead.
class ChunkWriter
{
public:
    explicit ChunkWriter(QFileDevice &file)
        : m_file(file)
        , m_chunk(chunkSize, Qt::Uninitialized)
    { }

    const QString &reason() const { return m_reason; }

    bool add(QByteArrayView bytes)
    {
        if (bytes.size() > m_chunk.size() - m_used && !writeChunk())
            return false;
        if (bytes.size() >= m_chunk.size())
            return writeAll(m_file, bytes, m_reason);
        std::memcpy(m_chunk.data() + m_used, bytes.data(), size_t(bytes.size()));
        m_used += bytes.size();
        return true;
    }

    bool writeChunk()
    {
        const qsizetype used = std::exchange(m_used, 0);
        return writeAll(m_file, QByteArrayView(m_chunk.constData(), used), m_reason);
    }

private:
    QFileDevice &m_file;
    QByteArray m_chunk;
    qsizetype m_used = 0;
    QString m_reason;
};

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
    ChunkWriter writer(file);
    if (needsUtf8Mark(startOf(list)))
        writer.add(Utf8Mark);
    for (qint16 position = 0; position < list.Count(); ++position) {
        if (!writer.add(list.Item(position)) || !writer.add("\r\n"))
            return writer.reason();
    }
    if (!writer.writeChunk())
        return writer.reason();
    QString reason;
    if (!flush(file, reason))
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
