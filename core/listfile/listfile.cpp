#include "listfile/listfile.h"

#include "entrylist/entrylist.h"
#include "filereasons.h"
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
#include <new>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace listfile {

namespace {

constexpr qint64 chunkSize = 64 * 1024;

// Peak memory for each byte of a file read into the list: the entries, their
// keys and what building them takes for a while. Files that would need more
// than the memory within reach are refused before they are read.
constexpr qint64 memoryPerFileByte = 4;

// Files under /proc and /sys state no size. Those that hold text are small,
// while some (/proc/self/pagemap) never end: this much is read of them.
constexpr qint64 unsizedFileLimit = 64 * 1000 * 1000;

// Opened so that reading never waits: a system file such as /proc/kmsg
// passes for a regular file of no stated size, and a read of it would wait
// for the next kernel message. Regular files read as they always do.
// Returns why the file could not be opened, or nothing.
QString openWithoutWaiting(QFile &file)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return file.errorString();
#else
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return file.errorString();
#endif
    return {};
}

// The first FileStartSize bytes, or all of a shorter file: a device may hand
// out less than asked for at a time.
QByteArray readStart(QFile &file)
{
    QByteArray start;
    while (start.size() < FileStartSize) {
        const QByteArray more = file.read(FileStartSize - start.size());
        if (more.isEmpty())
            break;
        start += more;
    }
    return start;
}

// What tells whether a file was changed: its size, and when it was last
// written to.
struct FileVersion
{
    qint64 size = 0;
    qint64 writtenSeconds = 0;
    qint64 writtenNanoseconds = 0;

    bool operator==(const FileVersion &) const = default;
};

FileVersion versionOf(const QFile &file)
{
#ifdef Q_OS_LINUX
    struct stat status;
    if (::fstat(file.handle(), &status) == 0)
        return {status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
#endif
    return {file.size(), 0, 0};
}

// A read that would wait fails with EAGAIN, as the file was opened.
bool wouldWait(int systemError)
{
    return systemError == EAGAIN || systemError == EWOULDBLOCK;
}

// Reads at most `limit` bytes. A file that goes past the limit, that ends
// before its stated size or that has nothing to give gives no lines; the
// complete lines read before a read error are given with the error.
FileLines readLines(QFile &file, const QString &fileName, qint64 statedSize, qint64 limit,
                    qsizetype room)
{
    FileLines read;
    const FileVersion atOpen = versionOf(file);
    errno = 0;
    const QByteArray start = readStart(file);
    if (looksLikeUtf16(start)) {
        const bool readError = file.error() != QFileDevice::NoError;
        read.result = FileResult::failure(fileName, readError ? file.errorString() : utf16Reason());
        return read;
    }
    LineSplitter splitter(room, statedSize);
    splitter.feed(start.startsWith(Utf8Mark) ? QByteArrayView(start).sliced(Utf8Mark.size())
                                             : QByteArrayView(start));
    qint64 total = start.size();
    while (total <= limit && file.error() == QFileDevice::NoError) {
        const QByteArray chunk = file.read(chunkSize);
        if (chunk.isEmpty())
            break;
        total += chunk.size();
        splitter.feed(chunk);
    }
    const int systemError = errno;
    if (total > limit) {
        read.result = FileResult::failure(fileName, endlessReason(statedSize, limit));
        return read;
    }
    if (file.error() != QFileDevice::NoError) {
        if (wouldWait(systemError)) {
            read.result = FileResult::failure(fileName, waitingFileReason());
            return read;
        }
        read.result = FileResult::failure(fileName, file.errorString());
        if (splitter.fits())
            read.lines = splitter.lines();
        read.count = read.lines.size();
        return read;
    }
    // Cut short while it was read: what was read is not the file. A file
    // that is as it was only states more than it holds, as those under /sys
    // do.
    if (total < statedSize && versionOf(file) != atOpen) {
        read.result = FileResult::failure(fileName, changedFileReason(statedSize, total));
        return read;
    }
    splitter.finish();
    read.count = splitter.count();
    if (!splitter.fits()) {
        read.result = FileResult::listFull(fileName, tooManyLinesReason(read.count, room));
        return read;
    }
    read.lines = splitter.lines();
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
    if (const QString reason = unusableFileReason(fileName); !reason.isEmpty()) {
        read.result = FileResult::failure(fileName, reason);
        return read;
    }

    QFile file(fileName);
    if (const QString reason = openWithoutWaiting(file); !reason.isEmpty()) {
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
