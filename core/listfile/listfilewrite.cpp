#include "listfile/listfile.h"

#include "entrylist/entrylist.h"
#include "failurereasons.h"
#include "filestart.h"
#include "listfilewriting.h"
#include "savetarget.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>
#include <utility>

namespace listfile {

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

// Gathers entries into chunks of one write each. Copying into a buffer of
// fixed size costs a fraction of growing a QByteArray entry by entry; an
// entry as large as a chunk goes straight to the file instead.
class ChunkWriter
{
public:
    explicit ChunkWriter(int fd)
        : m_fd(fd)
        , m_chunk(chunkSize, Qt::Uninitialized)
    { }

    const QString &reason() const { return m_reason; }
    qint64 written() const { return m_written; }

    bool add(QByteArrayView bytes)
    {
        if (bytes.size() > m_chunk.size() - m_used && !writeChunk())
            return false;
        if (bytes.size() >= m_chunk.size())
            return write(bytes);
        std::memcpy(m_chunk.data() + m_used, bytes.data(), size_t(bytes.size()));
        m_used += bytes.size();
        return true;
    }

    bool writeChunk()
    {
        const qsizetype used = std::exchange(m_used, 0);
        return write(QByteArrayView(m_chunk.constData(), used));
    }

private:
    bool write(QByteArrayView bytes)
    {
        m_reason = writeAll(m_fd, bytes);
        if (!m_reason.isEmpty())
            return false;
        m_written += bytes.size();
        return true;
    }

    const int m_fd;
    QByteArray m_chunk;
    qsizetype m_used = 0;
    qint64 m_written = 0;
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

} // namespace

QString writeAll(int fd, QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        const ssize_t wrote = ::write(fd, bytes.data(), size_t(bytes.size()));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0)
            return systemReason(errno);
        // A short write is followed by one that says why (the disk is full,
        // the file is too large); one that writes nothing at all says so.
        if (wrote == 0)
            return systemReason(EIO);
        bytes = bytes.sliced(wrote);
    }
    return {};
}

QString writeEntries(int fd, const EntryList &list, qint64 &written)
{
    ChunkWriter writer(fd);
    QString reason;
    bool ok = !needsUtf8Mark(startOf(list)) || writer.add(Utf8Mark);
    for (qint16 position = 0; ok && position < list.Count(); ++position)
        ok = writer.add(list.Item(position)) && writer.add("\r\n");
    ok = ok && writer.writeChunk();
    written = writer.written();
    return ok ? QString() : writer.reason();
}

QString syncData(int fd)
{
    if (::fdatasync(fd) != 0)
        return systemReason(errno);
    return {};
}

QString syncFolder(int folder)
{
    const FileDescriptor readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable.isOpen())
        return errno == EACCES ? QString() : systemReason(errno);
    if (::fsync(readable.get()) != 0)
        return systemReason(errno);
    return {};
}

FileResult WriteListFile(const QString &fileName, const EntryList &list)
{
    if (const QString reason = unusableNameReason(fileName); !reason.isEmpty())
        return FileResult::failure(fileName, reason);
    SaveTarget target = openSaveTarget(fileName);
    if (!target.refusal.isEmpty())
        return FileResult::failure(fileName, target.refusal);

    try {
        if (!replacingWouldChangeIt(target)) {
            bool inPlaceInstead = false;
            const QString reason = replaceFile(target, list, inPlaceInstead);
            if (!inPlaceInstead)
                return reason.isEmpty() ? FileResult::success()
                                        : FileResult::failure(fileName, reason);
        }
        if (const QString reason = writeInPlace(target, list); !reason.isEmpty())
            return FileResult::failure(fileName, reason);
        return FileResult::success();
    } catch (const std::bad_alloc &) {
        return FileResult::failure(fileName, outOfMemoryReason());
    }
}

} // namespace listfile
