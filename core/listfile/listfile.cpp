#include "listfile/listfile.h"

#include "entrylist/entrylist.h"
#include "failurereasons.h"
#include "filedescriptor.h"
#include "filestart.h"
#include "linesplitter.h"
#include "listfilelines.h"
#include "memoryreach.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace listfile {

namespace {

// What a file that states no size is read by at first.
constexpr qint64 chunkSize = 64 * 1024;

// Files larger than this are read in two halves at once.
constexpr qint64 halvedReadSize = 16 * 1024 * 1024;

// Peak memory for each byte of a file read into the list: the file's bytes,
// held as they were read with the entries as views into them, and room to
// spare for the list itself, the window's copy of it while a read runs, and
// the lists of the Opens before. Files that would need more than the memory
// within reach are refused before they are read.
constexpr qint64 memoryPerFileByte = 4;

// Files under /proc and /sys state no size. Those that hold text are small,
// while some (/proc/self/pagemap) never end: this much is read of them.
constexpr qint64 unsizedFileLimit = 64 * 1000 * 1000;

// How long one write of another program may go on. The system stamps a
// file's times when a write begins, before its data is copied, so a read
// that falls inside one write finds the same times before and after it: a
// file whose times are this recent, give or take how finely the file system
// keeps them, may be in the middle of a write, and is read a second time.
constexpr qint64 longestWrite = 1'000'000'000; // nanoseconds

// Opened so that reading never waits: a system file such as /proc/kmsg
// passes for a regular file of no stated size, and a read of it would wait
// for the next kernel message. Regular files read as they always do. The
// name is looked at first, so that no device or pipe is opened at all, and
// what was opened is looked at again, since the name may have been given to
// another file meanwhile. Returns why the file cannot be read, or nothing;
// `status` is that of the file opened.
QString openRegularFile(const QString &fileName, FileDescriptor &file, struct stat &status)
{
    const QByteArray name = QFile::encodeName(fileName);
    if (::stat(name.constData(), &status) != 0)
        return systemReason(errno);
    if (const QString reason = fileTypeReason(status.st_mode); !reason.isEmpty())
        return reason;
    file = FileDescriptor(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.isOpen() || ::fstat(file.get(), &status) != 0)
        return systemReason(errno);
    return fileTypeReason(status.st_mode);
}

// How much of a file one read takes from `offset` into `into`: `size` bytes
// or as many as there are, and the errno value of a read that failed, or 0.
struct PartRead
{
    qint64 got = 0;
    int error = 0;
};

PartRead readPart(int fd, char *into, qint64 offset, qint64 size)
{
    PartRead part;
    while (part.got < size) {
        const ssize_t got =
                ::pread(fd, into + part.got, size_t(size - part.got), offset + part.got);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            part.error = errno;
            break;
        }
        if (got == 0)
            break;
        part.got += got;
    }
    return part;
}

// Reads the first `size` bytes of the file into `room` in two halves at
// once, the second on a thread of its own: most of a large read goes into
// the system filling fresh memory, which two processors do in about half
// the time. Without a thread, or past a half that ends early, the rest is
// left to the reads that follow. `total` is how many bytes lie in one piece
// from the start; returns the errno value of a read that failed, or 0.
int readHalvesAtOnce(int fd, char *room, qint64 size, qint64 &total)
{
    const qint64 half = size / 2;
    PartRead second;
    std::thread secondReader;
    try {
        secondReader = std::thread([&] { second = readPart(fd, room + half, half, size - half); });
    } catch (const std::system_error &) {
        return 0;
    }
    const PartRead first = readPart(fd, room, 0, half);
    secondReader.join();
    total = first.got;
    if (first.error != 0 || first.got < half)
        return first.error;
    total += second.got;
    return second.error;
}

// Reads into `bytes` until it holds more than `limit` bytes, the file ends or
// a read fails; `total` is how many it holds. `bytes` is the room to read
// into: a file that states its size comes with room for all of it, and a
// byte more to tell whether it reads on past it; else the room grows a chunk
// at a time, since a device may hand out less than asked for at a time.
// Returns the errno value of a read that failed, or 0.
int readAll(int fd, QByteArray &bytes, qint64 &total, qint64 limit)
{
    if (total == 0 && bytes.size() > halvedReadSize) {
        if (const int error = readHalvesAtOnce(fd, bytes.data(), bytes.size() - 1, total))
            return error;
        if (::lseek(fd, total, SEEK_SET) != total)
            return errno;
    }
    while (total <= limit) {
        if (total == bytes.size())
            bytes.resize(total + chunkSize);
        const ssize_t got = ::read(fd, bytes.data() + total, size_t(bytes.size() - total));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        total += got;
    }
    return 0;
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

qint64 nanoseconds(const timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// What tells whether a file was changed: which file it is, its size, and
// when its content and its status last changed, to the nanosecond. The
// status time cannot be set back, as the content's can (cp -p, rsync).
struct FileVersion
{
    dev_t device = 0;
    ino_t inode = 0;
    qint64 size = 0;
    qint64 modified = 0;
    qint64 changed = 0;

    explicit FileVersion(const struct stat &status)
        : device(status.st_dev)
        , inode(status.st_ino)
        , size(status.st_size)
        , modified(nanoseconds(status.st_mtim))
        , changed(nanoseconds(status.st_ctim))
    { }
    bool operator==(const FileVersion &) const = default;
};

// How finely the file system keeps a file's times, as far as they tell: in
// whole seconds on FAT (two of them for the content's time), else as finely
// as the system's clock for file times moves.
qint64 timeResolution(const struct stat &status)
{
    if (status.st_mtim.tv_nsec == 0 && status.st_ctim.tv_nsec == 0)
        return 2'000'000'000;
    timespec tick = {};
    ::clock_getres(CLOCK_REALTIME_COARSE, &tick);
    return nanoseconds(tick);
}

// Whether another program may have been writing the file when it was
// opened: it changed within the longest write and the resolution of the
// file's times before, or its times lie ahead of the clock.
bool mayBeBeingWritten(const struct stat &status)
{
    timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 lastChange = qMax(nanoseconds(status.st_mtim), nanoseconds(status.st_ctim));
    return lastChange >= nanoseconds(now) - longestWrite - timeResolution(status);
}

// Reads the file again from its start. Returns 0 when it holds exactly
// `bytes`, -1 when it holds anything else, or the errno value of a read
// that failed.
int readsAgainAs(int fd, QByteArrayView bytes)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return errno;
    // One byte more than is left, to see a file that goes on.
    QByteArray chunk(qMin(bytes.size() + 1, qsizetype(1024 * 1024)), Qt::Uninitialized);
    qsizetype at = 0;
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), size_t(chunk.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return at == bytes.size() ? 0 : -1;
        if (got > bytes.size() - at
            || std::memcmp(chunk.constData(), bytes.data() + at, size_t(got)) != 0)
            return -1;
        at += got;
    }
}

// A read that would wait fails with EAGAIN, as the file was opened.
bool wouldWait(int systemError)
{
    return systemError == EAGAIN || systemError == EWOULDBLOCK;
}

FileLines failed(const QString &fileName, const QString &reason)
{
    FileLines read;
    read.result = FileResult::failure(fileName, reason);
    return read;
}

// Reads at most `limit` bytes of the file, opened with status `atOpen`. A
// file that goes past the limit, that ends before its stated size, that
// has nothing to give or that another program wrote meanwhile gives no
// lines; the complete lines read before a read error are given with the
// error. The file is read into one block, which the lines are views into.
FileLines readLines(int fd, const QString &fileName, const struct stat &atOpen, qint64 limit,
                    qsizetype room)
{
    const qint64 statedSize = atOpen.st_size;
    QByteArray bytes;
    if (statedSize > 0) {
        bytes = QByteArray(limit + 1, Qt::Uninitialized);
        preferHugePages(bytes);
    }
    qint64 total = 0;
    const int readError = readAll(fd, bytes, total, limit);
    // Written, cut or grown while it was read: what was read may be part
    // old, part new. Whatever else went wrong, that is the reason.
    struct stat afterRead;
    if (::fstat(fd, &afterRead) != 0)
        return failed(fileName, systemReason(errno));
    if (FileVersion(afterRead) != FileVersion(atOpen))
        return failed(fileName, changedFileReason());
    if (total > limit)
        return failed(fileName, endlessReason(statedSize, limit));
    const QByteArrayView start = QByteArrayView(bytes).first(qMin(total, FileStartSize));
    if (looksLikeUtf16(start))
        return failed(fileName, readError != 0 ? systemReason(readError) : utf16Reason());
    const qsizetype text = start.startsWith(Utf8Mark) ? Utf8Mark.size() : 0;
    bytes.truncate(total);
    const QByteArrayView textRead = QByteArrayView(bytes).sliced(text);

    FileLines read;
    if (readError != 0) {
        if (wouldWait(readError))
            return failed(fileName, waitingFileReason());
        read.result = FileResult::failure(fileName, systemReason(readError));
        SplitLines split = splitLines(textRead, room, false);
        if (split.count <= room) {
            read.lines = std::move(split.lines);
            read.storage = std::move(bytes);
        }
        read.count = read.lines.size();
        return read;
    }
    // A file system with a stale size (FUSE, a network share) ends early.
    if (total < statedSize)
        return failed(fileName, endedEarlyReason(total, statedSize));
    // Only a second read that agrees, with the file's times unmoved, tells
    // that no write was under way. System files, which state no size, are
    // made anew for each read.
    if (statedSize > 0 && mayBeBeingWritten(atOpen)) {
        const int again = readsAgainAs(fd, bytes);
        if (again > 0)
            return failed(fileName, systemReason(again));
        if (again < 0 || ::fstat(fd, &afterRead) != 0
            || FileVersion(afterRead) != FileVersion(atOpen))
            return failed(fileName, changedFileReason());
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

FileResult FileResult::writtenNotSafe(const QString &fileName, const QString &reason)
{
    FileResult result = failure(fileName, reason);
    result.m_writtenNotSafe = true;
    return result;
}

FileLines readFileLines(const QString &fileName, qsizetype room)
{
    FileDescriptor file;
    struct stat status;
    QString reason = unusableNameReason(fileName);
    if (reason.isEmpty())
        reason = openRegularFile(fileName, file, status);
    if (!reason.isEmpty())
        return failed(fileName, reason);

    const qint64 statedSize = status.st_size;
    const qint64 reach = memoryWithinReach() / memoryPerFileByte;
    if (statedSize > reach)
        return failed(fileName, tooLargeReason(statedSize, reach));
    const qint64 limit = statedSize > 0 ? statedSize : qMin(reach, unsizedFileLimit);
    try {
        return readLines(file.get(), fileName, status, limit, room);
    } catch (const std::bad_alloc &) {
        return failed(fileName, outOfMemoryReason());
    }
}

FileResult ReadListFile(const QString &fileName, EntryList &list)
{
    const QList<FileResult> failures = ReadListFiles({fileName}, list);
    return failures.isEmpty() ? FileResult::success() : failures.first();
}
} // namespace listfile
