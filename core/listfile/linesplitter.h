#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace listfile {

// The lines of a file's bytes, and how many there are.
struct SplitLines
{
    // Views (QByteArray::fromRawData) into the bytes that were split, which
    // must outlive them. Empty when there were more lines than room.
    QList<QByteArray> lines;
    qint64 count = 0;
};

// Cuts bytes into lines: a line ends at CR or CR LF, a lone LF is part of the
// line, trailing spaces are trimmed. A terminator at the very end makes no
// empty line after it. A last line without terminator is a line when the
// bytes reach the end of the file (`toEnd`); else it is only the part read
// before a read broke off, and is left out. Lines past `room` are only
// counted, so a file of too many lines cannot exhaust memory before it is
// refused.
SplitLines splitLines(QByteArrayView bytes, qsizetype room, bool toEnd);

} // namespace listfile
