#include "listfile/listfile.h"

#include "entrylist/entrylist.h"
#include "failurereasons.h"
#include "listfilelines.h"

#include <new>

namespace listfile {

QList<FileResult> ReadListFiles(const QStringList &fileNames, EntryList &list)
{
    QList<FileResult> failures;
    QList<QByteArray> lines;
    QList<QByteArray> storage;
    qint64 count = 0;
    try {
        for (const QString &fileName : fileNames) {
            // Once the files have more lines than the list has room for, the
            // rest are only counted, for the reason given below.
            const qsizetype room = qMax(qint64(0), list.Room() - count);
            FileLines read = readFileLines(fileName, room);
            count += read.count;
            lines += std::move(read.lines);
            if (!read.storage.isEmpty())
                storage.append(std::move(read.storage));
            if (!read.result.ok() && !read.result.isListFull())
                failures.append(read.result);
        }
        if (count > list.Room()) {
            // The files go in together or not at all, as the lines of one
            // file do.
            failures.append(
                    fileNames.size() == 1
                            ? FileResult::listFull(fileNames.first(),
                                                   tooManyLinesReason(count, list.Room()))
                            : FileResult::listFull(QString(),
                                                   tooManyLinesInFilesReason(count, list.Room())));
            return failures;
        }
        // Fits, as counted above.
        [[maybe_unused]] const bool added = list.Add(lines, storage);
    } catch (const std::bad_alloc &) {
        // The list is as it was: the lines go in all at once or not at all.
        lines = {};
        storage = {};
        failures.append(FileResult::failure(fileNames.size() == 1 ? fileNames.first() : QString(),
                                            outOfMemoryReason()));
    }
    return failures;
}

} // namespace listfile
