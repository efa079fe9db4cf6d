#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace core {
class EntryList;
}

namespace listfile {

using core::EntryList;

// The outcome of reading or writing a list file. A failure carries the file
// name and the reason in words a person can read; nothing here shows it.
class [[nodiscard]] FileResult
{
public:
    static FileResult success() { return {}; }
    static FileResult failure(const QString &fileName, const QString &reason);
    // The file was read, but the list had no room for all of its lines.
    static FileResult listFull(const QString &fileName, const QString &reason);
    // The whole list is in the file, but the system could not make sure
    // that it is on disk: after a power cut the file may not hold it.
    static FileResult writtenNotSafe(const QString &fileName, const QString &reason);

    bool ok() const { return !m_failed; }
    bool isListFull() const { return m_listFull; }
    bool isWrittenNotSafe() const { return m_writtenNotSafe; }
    QString fileName() const { return m_fileName; }
    QString reason() const { return m_reason; }

private:
    bool m_failed = false;
    bool m_listFull = false;
    bool m_writtenNotSafe = false;
    QString m_fileName;
    QString m_reason;
};

// Adds every line of the file to the list in its ordered place. A line ends
// at CR or CR LF (a lone LF stays inside the line); trailing spaces are
// trimmed. A leading UTF-8 byte-order mark is dropped; UTF-16 is refused.
// Lines read before a read error stay in the list. A file that would
// overflow the list, that is too large for the memory within reach, or that
// reads on past its stated size adds nothing, and neither does one that
// ends before it, one that another program writes while it is read, one
// that would make the reader wait, or running out of memory. A file changed
// within about a second is read twice, and taken only when both reads
// agree. Only regular files are read.
FileResult ReadListFile(const QString &fileName, EntryList &list);

// Reads the files one after another into the list, as one Open: each is
// read as ReadListFile reads it, and a file that cannot be read is passed
// over while the others go in. Lines go in all at once, so when the files
// together have more lines than the list has room for, none of them goes
// in. Returns the failures, in the order of the files; a list-full failure
// names no file when there were several.
QList<FileResult> ReadListFiles(const QStringList &fileNames, EntryList &list);

// Writes every entry, in list order, each followed by CR LF. When the file
// would not read back as the same entries (its first entry begins with
// U+FEFF, or its first bytes look like UTF-16), a UTF-8 byte-order mark
// goes first. The file that was there is replaced only when the whole list
// was written; where a new file could not be all it was, it is written
// where it is, behind a safety copy of the list in $TMPDIR or /var/tmp. A name
// is followed as the system follows it, links under /proc to what they
// stand for.
FileResult WriteListFile(const QString &fileName, const EntryList &list);

} // namespace listfile
