#include "listfile/listfile.h"

#include "entrylist/entrylist.h"
#include "failurereasons.h"
#include "filestart.h"
#include "listfilewriting.h"
#include "savetarget.h"

#include <QByteArray>

#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <new>
#include <sys/uio.h>
#include <unistd.h>
#include <utility>

namespace listfile {

namespace {

// Gathers the entries' bytes where they lie, with no copy, for one write of
// many pieces each (writev): a list of long entries costs no second pass
// over its bytes, and one of short entries a system call for every few
// hundred of them.
class GatherWriter
{
public:
    explicit GatherWriter(int fd)
        : m_fd(fd)
        , m_start(::lseek(fd, 0, SEEK_CUR))
    { }

    const QString &reason() const { return m_reason; }
    qint64 written() const { return m_written; }

    bool add(QByteArrayView bytes)
    {
        if (bytes.isEmpty())
            return true;
        if (m_used == maxPieces && !flush())
            return false;
        m_pieces[m_used++] = {const_cast<char *>(bytes.data()), size_t(bytes.size())};
        return true;
    }

    // Writes what was gathered. A write may take only part of it; the rest
    // goes in the next, which says why it fails (the disk is full, the file
    // too large), where one that writes nothing at all says so.
    bool flush()
    {
        iovec *piece = m_pieces.data();
        iovec *const end = piece + std::exchange(m_used, 0);
        while (piece != end) {
            const ssize_t wrote = ::writev(m_fd, piece, int(qMin(end - piece, maxPieces)));
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0) {
                m_reason = systemReason(wrote < 0 ? errno : EIO);
                return false;
            }
            m_written += wrote;
            startWriteBack();
            for (auto left = size_t(wrote); left > 0;) {
                const size_t taken = qMin(left, piece->iov_len);
                piece->iov_base = static_cast<char *>(piece->iov_base) + taken;
                piece->iov_len -= taken;
                left -= taken;
                if (piece->iov_len == 0)
                    ++piece;
            }
        }
        return true;
    }

private:
    static constexpr qsizetype maxPieces = IOV_MAX;
    // How much is written before the disk is asked to start on it.
    static constexpr qint64 writeBackStep = 8 * 1024 * 1024;

    // Asks the system to start writing what is written so far to the disk,
    // without waiting for it: the flush at the end then waits for the last
    // of it alone, not for all of it. Where the position is unknown or the
    // system cannot, the flush does it all.
    void startWriteBack()
    {
        if (m_start < 0 || m_written - m_writingBack < writeBackStep)
            return;
        ::sync_file_range(m_fd, m_start + m_writingBack, m_written - m_writingBack,
                          SYNC_FILE_RANGE_WRITE);
        m_writingBack = m_written;
    }

    const int m_fd;
    const off_t m_start;
    qint64 m_writingBack = 0;
    std::array<iovec, maxPieces> m_pieces;
    qsizetype m_used = 0;
    qint64 m_written = 0;
    QString m_reason;
};

// The first FileStartSize bytes the entries make, or all of them.
QByteArray startOf(const EntryList &list)
{
    QByteArray start;
    for (qint16 position = 0; position < list.Count() && start.size() < FileStartSize; ++position) {
        const QByteArrayView entry = list.Item(position);
        start += entry.first(qMin(entry.size(), FileStartSize));
        start += "\r\n";
    }
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
    GatherWriter writer(fd);
    QString reason;
    bool ok = !needsUtf8Mark(startOf(list)) || writer.add(Utf8Mark);
    for (qint16 position = 0; ok && position < list.Count(); ++position)
        ok = writer.add(list.Item(position)) && writer.add("\r\n");
    ok = ok && writer.flush();
    written = writer.written();
    return ok ? QString() : writer.reason();
}

QString syncData(int fd)
{
    if (::fdatasync(fd) != 0)
        return systemReason(errno);
    return {};
}

bool linkUnnamed(int fd, int folder, const QByteArray &name)
{
    if (::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, self.constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0;
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
        if (!target.reachedByObject && !replacingWouldChangeIt(target)) {
            bool inPlaceInstead = false;
            const QString reason = replaceFile(target, list, inPlaceInstead);
            if (!inPlaceInstead) {
                if (!reason.isEmpty())
                    return FileResult::failure(fileName, reason);
                // The new list has the file's name from here on.
                const QString unsynced = syncFolder(target.folder.get());
                return unsynced.isEmpty()
                        ? FileResult::success()
                        : FileResult::writtenNotSafe(fileName, folderSyncReason(unsynced));
            }
        }
        if (const QString reason = writeInPlace(target, list); !reason.isEmpty())
            return FileResult::failure(fileName, reason);
        return FileResult::success();
    } catch (const std::bad_alloc &) {
        return FileResult::failure(fileName, outOfMemoryReason());
    }
}

} // namespace listfile
