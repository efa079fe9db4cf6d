#include "listfile.h"

#include "entrylist.h"
#include "filereasons.h"
#include "filestart.h"
#include "linesplitter.h"
#include "memoryreach.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QList>

#include <new>

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

// Reads at most `limit` bytes into the list. A file that goes past the limit
// adds nothing; the complete lines read before a read error stay.
FileResult readLines(QFile &file, qint64 statedSize, qint64 limit, EntryList &list)
{
    const QByteArray start = readStart(file);
    if (looksLikeUtf16(start)) {
        const bool readError = file.error() != QFileDevice::NoError;
        return FileResult::failure(file.fileName(), readError ? file.errorString() : utf16Reason());
    }
    LineSplitter splitter(list.Room(), statedSize);
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
    if (total > limit)
        return FileResult::failure(file.fileName(), endlessReason(statedSize, limit));
    if (file.error() != QFileDevice::NoError) {
        const QString reason = file.errorString();
        if (splitter.fits())
            list.Add(splitter.lines());
        return FileResult::failure(file.fileName(), reason);
    }
    splitter.finish();

    if (!splitter.fits())
        return FileResult::listFull(file.fileName(),
                                    tooManyLinesReason(splitter.count(), list.Room()));
    list.Add(splitter.lines());
    return FileResult::success();
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

FileResult ReadListFile(const QString &fileName, EntryList &list)
{
    if (const QString reason = unusableFileReason(fileName); !reason.isEmpty())
        return FileResult::failure(fileName, reason);

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return FileResult::failure(fileName, file.errorString());

    const qint64 statedSize = file.size();
    const qint64 room = memoryWithinReach() / memoryPerFileByte;
    if (statedSize > room)
        return FileResult::failure(fileName, tooLargeReason(statedSize, room));
    const qint64 limit = statedSize > 0 ? statedSize : qMin(room, unsizedFileLimit);
    try {
        return readLines(file, statedSize, limit, list);
    } catch (const std::bad_alloc &) {
        // The list takes a file's lines all at once or not at all.
        return FileResult::failure(fileName, outOfMemoryReason());
    }
}

} // namespace listfile
