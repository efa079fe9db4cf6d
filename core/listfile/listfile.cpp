#include "listfile/listfile.h"

#include "entrylist/entrylist.h"
#include "failurereasons.h"
#include "filestart.h"
#include "linesplitter.h"
#include "listfilelines.h"
#include "memoryreach.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>

#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace listfile {

namespace {

// What a file that states no size is read by at first.
constexpr qint64 chunkSize = 64 * 1024;

// Peak memory for each byte of a file read into the list: the file's bytes,
// held as they were read with the entries as views into them, the entries'
// keys and what building them takes for a while. Files that would need more
// than the memory within reach are refused before they are read.
constexpr qint64 memoryPerFileByte = 4;

// Files under /proc and /sys state no size. Those that hold text are small,
// while some (/proc/self/pagemap) never end: this much is read of them.
constexpr qint64 unsizedFileLimit = 64 * 1000 * 1000;

// Opened so that reading never waits: a system file such as /proc/kmsg
// passes for a regular file of no stated size, and a read of it would wait
// for the next kernel message. Regular files read as they always do. The
// name is looked at first, so that no device or pipe is opened at all, and
// what was opened is looked at again, since the name may have been given to
// another file meanwhile. Returns why the file cannot be read, or nothing.
QString openRegularFile(const QString &fileName, QFile &file)
{
    const QByteArray name = QFile::encodeName(fileName);
    struct stat status;
    if (::stat(name.constData(), &status) != 0)
        return systemReason(errno);
    if (const QString reason = fileTypeReason(status.st_mode); !reason.isEmpty())
        return reason;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemReason(errno);
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return systemReason(error);
    }
    if (const QString reason = fileTypeReason(status.st_mode); !reason.isEmpty()) {
        ::close(fd);
        return reason;
    }
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return file.errorString();
    return {};
}

// Reads into `bytes` until it holds more than `limit` bytes, the file ends or
// a read fails; `total` is how many it holds. `bytes` is the room to read
// into: a file that states its size comes with room for all of it, and a
// byte more to tell whether it reads on past it; else the room grows a chunk
// at a time, since a device may hand out less than asked for at a time.
void readAll(QFile &file, QByteArray &bytes, qint64 &total, qint64 limit)
{
    while (total <= limit) {
        if (total == bytes.size())
            bytes.resize(total + chunkSize);
        const qint64 got = file.read(bytes.data() + total, bytes.size() - total);
        if (got <= 0)
            return;
        total += got;
    }
}

// Asks for the room a large file is read into to come in huge pages, where
// the system has them and leaves it to programs to ask (transparent huge
// pages in "madvise" mode). Touching that much fresh memory page by page
// costs a fault for each page, more than reading the file; in huge pages
// it costs a few hundred. Where the system says no, the room is as it was.
void preferHugePages(QByteArray &room)
{
#ifdef MADV_HUGEPAGE
    // Less than a huge page (2 MB on most machines) could not take one.
    if (room.size() < 2 * 1024 * 1024)
        return;
    const auto page = quintptr(::sysconf(_SC_PAGESIZE));
    const auto begin = (quintptr(room.data()) + page - 1) & ~(page - 1);
    const auto end = (quintptr(room.data()) + quintptr(room.size())) & ~(page - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
#else
    Q_UNUSED(room);
#endif
}

// What tells whether a file was changed: which file it is, its size, and
// when its content and its status last changed, to the nanosecond.
struct FileVersion
{
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
    qint64 modifiedSeconds = 0;
    qint64 modifiedNanoseconds = 0;
    qint64 changedSeconds = 0;
    qint64 changedNanoseconds = 0;

    bool operator==(const FileVersion &) const = default;
};

FileVersion versionOf(const QFile &file)
{
    struct stat status;
    if (::fstat(file.handle(), &status) != 0)
        return {};
    return {status.st_dev,         status.st_ino,          status.st_size,
            status.st_mtim.tv_sec, status.st_mtim.tv_nsec, status.st_ctim.tv_sec,
            status.st_ctim.tv_nsec};
}

// A read that would wait fails with EAGAIN, as the file was opened.
bool wouldWait(int systemError)
{
    return systemError == EAGAIN || systemError == EWOULDBLOCK;
}

// Reads at most `limit` bytes. A file that goes past the limit, that ends
// before its stated size or that has nothing to give gives no lines; the
// complete lines read before a read error are given with the error. The
// file is read into one block, which the lines are views into.
FileLines readLines(QFile &file, const QString &fileName, qint64 statedSize, qint64 limit,
                    qsizetype room)
{
    FileLines read;
    const FileVersion atOpen = versionOf(file);
    errno = 0;
    QByteArray bytes;
    if (statedSize > 0) {
        bytes = QByteArray(limit + 1, Qt::Uninitialized);
        preferHugePages(bytes);
    }
    qint64 total = 0;
    readAll(file, bytes, total, limit);
    const int systemError = errno;
    const QByteArrayView start = QByteArrayView(bytes).first(qMin(total, FileStartSize));
    if (looksLikeUtf16(start)) {
        const bool readError = file.error() != QFileDevice::NoError;
        read.result = FileResult::failure(fileName, readError ? file.errorString() : utf16Reason());
        return read;
    }
    const qsizetype text = start.startsWith(Utf8Mark) ? Utf8Mark.size() : 0;
    // Written, cut or grown while it was read: what was read may be part
    // old, part new. Whatever else went wrong, that is the reason.
    if (versionOf(file) != atOpen) {
        read.result = FileResult::failure(fileName, changedFileReason());
        return read;
    }
    if (total > limit) {
        read.result = FileResult::failure(fileName, endlessReason(statedSize, limit));
        return read;
    }
    bytes.truncate(total);
    const QByteArrayView textRead = QByteArrayView(bytes).sliced(text);
    if (file.error() != QFileDevice::NoError) {
        if (wouldWait(systemError)) {
            read.result = FileResult::failure(fileName, waitingFileReason());
            return read;
        }
        read.result = FileResult::failure(fileName, file.errorString());
        SplitLines split = splitLines(textRead, room, false);
        if (split.count <= room) {
            read.lines = std::move(split.lines);
            read.storage = std::move(bytes);
        }
        read.count = read.lines.size();
        return read;
    }
    SplitLines split = splitLines(textRead, room, true);
    read.count = split.count;
    if (split.count > room) {
        read.result = FileResult::listFull(fileName, tooManyLinesReason(read.count, room));
        return read;
    }
    read.lines = std::move(split.lines);
    read.storage = std::move(bytes);
    return read;
}

} // namespace

FileResult FileResult::failure(const QString &fileName, const QString &reason)
{
    FileResult result;
    result.m_failed = true;
    result.m_fileName = fileName;
    result.m_reason = reason;
    return result;
}

FileResult FileResult::listFull(const QString &fileName, const QString &reason)
{
    FileResult result = failure(fileName, reason);
    result.m_listFull = true;
    return result;
}

FileLines readFileLines(const QString &fileName, qsizetype room)
{
    FileLines read;
    QFile file;
    QString reason = unusableNameReason(fileName);
    if (reason.isEmpty())
        reason = openRegularFile(fileName, file);
    if (!reason.isEmpty()) {
        read.result = FileResult::failure(fileName, reason);
        return read;
    }

    const qint64 statedSize = file.size();
    const qint64 reach = memoryWithinReach() / memoryPerFileByte;
    if (statedSize > reach) {
        read.result = FileResult::failure(fileName, tooLargeReason(statedSize, reach));
        return read;
    }
    const qint64 limit = statedSize > 0 ? statedSize : qMin(reach, unsizedFileLimit);
    try {
        return readLines(file, fileName, statedSize, limit, room);
    } catch (const std::bad_alloc &) {
        read = {};
        read.result = FileResult::failure(fileName, outOfMemoryReason());
        return read;
    }
}

FileResult ReadListFile(const QString &fileName, EntryList &list)
{
    const QList<FileResult> failures = ReadListFiles({fileName}, list);
    return failures.isEmpty() ? FileResult::success() : failures.first();
}
} // namespace listfile
