#pragma once

#include "listfile/listfile.h"

#include <QByteArray>
#include <QList>

namespace listfile {

// The lines of one list file, read but not yet added to a list.
struct FileLines
{
    FileResult result = FileResult::success();
    // Empty when the file was refused or had more than `room` lines; with a
    // read error, the complete lines read before it.
    QList<QByteArray> lines;
    // All of the file's lines, those past `room` too.
    qint64 count = 0;
    // The file's bytes as read, which `lines` are views into.
    QByteArray storage;
};

// Reads a list file's lines as ReadListFile adds them, keeping at most
// `room` of them: a file of more lines is refused as too many for the list.
FileLines readFileLines(const QString &fileName, qsizetype room);

} // namespace listfile
