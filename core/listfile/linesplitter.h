#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace listfile {

// Cuts bytes into lines as they arrive: a line ends at CR or CR LF, a lone LF
// is part of the line, trailing spaces are trimmed. Lines past `room` are
// only counted, so a file of too many lines cannot exhaust memory before it
// is refused.
class LineSplitter
{
public:
    // `fileSize` is the size the file states, or 0 when it states none.
    LineSplitter(qsizetype room, qint64 fileSize)
        : m_room(room)
        , m_fileSize(fileSize)
    { }

    void feed(QByteArrayView bytes);
    // A last line without terminator is still a line; a terminator at the
    // very end makes no empty line after it.
    void finish();

    qint64 count() const { return m_count; }
    bool fits() const { return m_count <= m_room; }
    const QList<QByteArray> &lines() const { return m_lines; }

private:
    void endLine(QByteArrayView rest);

    const qsizetype m_room;
    const qint64 m_fileSize;
    qint64 m_fed = 0;
    QByteArray m_current;
    bool m_afterCr = false;
    qint64 m_count = 0;
    QList<QByteArray> m_lines;
};

} // namespace listfile
