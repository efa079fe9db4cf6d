#include "listfile.h"

#include "entrylist.h"
#include "newfilereason.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

constexpr qint64 chunkSize = 64 * 1024;

// Cuts bytes into lines as they arrive: a line ends at CR or CR LF, a lone LF
// is part of the line, trailing spaces are trimmed. Lines past `room` are
// only counted, so a huge file cannot exhaust memory before it is refused.
class LineSplitter
{
public:
    explicit LineSplitter(qsizetype room)
        : m_room(room)
    { }

    void feed(QByteArrayView bytes)
    {
        if (m_afterCr && bytes.startsWith('\n'))
            bytes = bytes.sliced(1);
        m_afterCr = false;
        for (qsizetype cr; (cr = bytes.indexOf('\r')) >= 0;) {
            endLine(bytes.first(cr));
            bytes = bytes.sliced(cr + 1);
            if (bytes.isEmpty())
                m_afterCr = true; // an LF at the start of the next piece ends this line
            else if (bytes.startsWith('\n'))
                bytes = bytes.sliced(1);
        }
        m_current += bytes;
    }

    // A last line without terminator is still a line; a terminator at the
    // very end makes no empty line after it.
    void finish()
    {
        if (!m_current.isEmpty())
            endLine({});
    }

    qint64 count() const { return m_count; }
    bool fits() const { return m_count <= m_room; }
    const QList<QByteArray> &lines() const { return m_lines; }

private:
    // The line is what was held back from earlier pieces, then `rest`.
    // Most lines lie within one piece and are copied once, straight from it.
    void endLine(QByteArrayView rest)
    {
        ++m_count;
        if (fits()) {
            QByteArrayView line = rest;
            if (!m_current.isEmpty()) {
                m_current += rest;
                line = m_current;
            }
            while (line.endsWith(' '))
                line.chop(1);
            m_lines.append(line.toByteArray());
        } else {
            m_lines.clear();
        }
        m_current.resize(0); // keeps the capacity for the next line
    }

    const qsizetype m_room;
    QByteArray m_current;
    bool m_afterCr = false;
    qint64 m_count = 0;
    QList<QByteArray> m_lines;
};

QString tr(const char *text)
{
    return QCoreApplication::translate("ListFile", text);
}

// Opening a FIFO blocks and a device may never end, so only regular files
// (or links to them) are read or replaced. Checked before opening.
QString unusableFileReason(const QString &fileName)
{
    if (fileName.isEmpty())
        return tr("No file name was given.");
    const QFileInfo info(fileName);
    if (!info.exists() || info.isFile())
        return {};
    if (info.isDir())
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

// A UTF-8 byte-order mark is an encoding mark, not text. UTF-16 would be cut
// into lines of stray bytes, so it is refused. Its marks, FF FE and FE FF,
// are also the Windows-1252 letters "ÿþ" and "þÿ", which a saved list may
// well start with; see looksLikeUtf16().
enum class Start { Text, Utf8Mark, Utf16Mark };

Start startOf(const QByteArray &firstBytes)
{
    if (firstBytes.startsWith("\xEF\xBB\xBF"))
        return Start::Utf8Mark;
    if (firstBytes.startsWith("\xFF\xFE") || firstBytes.startsWith("\xFE\xFF"))
        return Start::Utf16Mark;
    return Start::Text;
}

// A file behind a UTF-16 mark is taken for UTF-16 unless it ends in CR LF as
// single bytes. Every list this program saves ends that way, while UTF-16
// text puts a NUL byte beside each CR and LF, so a saved list always reads
// back.
bool looksLikeUtf16(Start start, const QByteArray &lastBytes)
{
    return start == Start::Utf16Mark && lastBytes != "\r\n";
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

    LineSplitter splitter(list.Room());
    Start start = Start::Text;
    QByteArray lastBytes;
    for (bool first = true;; first = false) {
        QByteArray chunk = file.read(chunkSize);
        if (chunk.isEmpty()) {
            if (file.error() == QFileDevice::NoError)
                break;
            // The complete lines read before the error stay in the list.
            const QString reason = file.errorString();
            if (splitter.fits() && !looksLikeUtf16(start, {}))
                list.Add(splitter.lines());
            return FileResult::failure(fileName, reason);
        }
        if (first) {
            start = startOf(chunk);
            if (start == Start::Utf8Mark)
                chunk.remove(0, 3);
        }
        lastBytes = QByteArray(lastBytes + chunk.right(2)).right(2);
        splitter.feed(chunk);
    }
    if (looksLikeUtf16(start, lastBytes))
        return FileResult::failure(fileName,
                                   tr("The file is in UTF-16, which this program cannot read. "
                                      "Save it as UTF-8 or as plain text first."));
    splitter.finish();

    if (!splitter.fits())
        return FileResult::listFull(fileName, tooManyLinesReason(splitter.count(), list.Room()));
    list.Add(splitter.lines());
    return FileResult::success();
}

namespace {

// Qt reports a short write as "Unknown error"; errno still says why (the
// disk is full, the file is too large).
bool writeAll(QSaveFile &file, const QByteArray &bytes, int &systemError)
{
    errno = 0;
    if (file.write(bytes) == bytes.size())
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
FileResult abandon(QSaveFile &file, const QString &fileName, int systemError)
{
    const QString reason = systemError != 0 ? QString::fromLocal8Bit(std::strerror(systemError))
                                            : file.errorString();
    file.cancelWriting();
    return FileResult::failure(fileName, reason);
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

    int systemError = 0;
    QByteArray buffer;
    buffer.reserve(chunkSize + 1024);
    for (qint16 position = 0; position < list.Count(); ++position) {
        buffer += list.Item(position);
        buffer += "\r\n";
        if (buffer.size() >= chunkSize) {
            if (!writeAll(file, buffer, systemError))
                return abandon(file, fileName, systemError);
            buffer.clear();
        }
    }
    if (!writeAll(file, buffer, systemError) || !flush(file, systemError))
        return abandon(file, fileName, systemError);
    if (!file.commit() || file.error() != QFileDevice::NoError)
        return FileResult::failure(fileName, file.errorString());
    return FileResult::success();
}
