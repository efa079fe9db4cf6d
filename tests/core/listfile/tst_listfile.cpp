#include "entrylist/entrylist.h"
#include "listfile/listfile.h"
#include "listfiletest.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace ListFileTest;
using namespace core;
using namespace listfile;

namespace {

// A file whose name is not UTF-8, as old disks hold them, and the name Qt
// gives it.
QString undecodableName(const QTemporaryDir &dir)
{
    const QByteArray name = QFile::encodeName(dir.path()) + "/caf\xE9.txt";
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT, 0600);
    if (fd >= 0)
        ::close(fd);
    return QFile::decodeName(name);
}

// Numbered lines of 1000 bytes, more than 16 MB of them: a file of so many
// bytes is read in two halves at once, and its lines are made on two
// threads.
QList<QByteArray> wideLines()
{
    QList<QByteArray> lines;
    for (int line = 0; line < 17'500; ++line)
        lines.append("line-" + QByteArray::number(line).rightJustified(5, '0')
                     + QByteArray(990, 'x'));
    return lines;
}

// A few bytes into the given line of those.
QByteArray wideOffset(int line)
{
    return QByteArray::number(line * 1002 + 9);
}

} // namespace

class tst_ListFile : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase();
    void readLines_data();
    void readLines();
    void readRefuses_data();
    void readRefuses();
    void capacity();
    void readFilesAsOne_data();
    void readFilesAsOne();

private:
    QTemporaryDir m_dir;
};

// QTemporaryDir cannot remove a file whose name is not UTF-8.
void tst_ListFile::cleanupTestCase()
{
    ::unlink(QByteArray(QFile::encodeName(m_dir.path()) + "/caf\xE9.txt").constData());
}

// Expected entries are in list order (C locale: by byte).
void tst_ListFile::readLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<QByteArray>>("entries");

    using L = QList<QByteArray>;
    QTest::newRow("CR LF lines") << "b\r\na\r\n"_ba << L{"a", "b"};
    QTest::newRow("CR lines, last unterminated") << "b\ra"_ba << L{"a", "b"};
    QTest::newRow("lone LF stays in the line") << "x\ny"_ba << L{"x\ny"};
    QTest::newRow("LF-only file is one line") << "c\nb\na\n"_ba << L{"c\nb\na\n"};
    QTest::newRow("LF after CR LF stays") << "b\r\n\na"_ba << L{"\na", "b"};
    QTest::newRow("LF before CR stays") << "b\n\ra"_ba << L{"a", "b\n"};
    QTest::newRow("final CR makes no empty line") << "a\r"_ba << L{"a"};
    QTest::newRow("two CR LF make an empty line") << "b\r\n\r\na"_ba << L{"", "a", "b"};
    QTest::newRow("two CR make an empty line") << "b\r\ra"_ba << L{"", "a", "b"};
    QTest::newRow("terminator alone is one empty line") << "\r\n"_ba << L{""};
    QTest::newRow("empty file") << QByteArray() << L{};
    QTest::newRow("trailing spaces trimmed") << "word   \r\n"_ba << L{"word"};
    QTest::newRow("leading spaces kept") << "  word\r\n"_ba << L{"  word"};
    QTest::newRow("only spaces give empty entry") << "   \r\n   "_ba << L{"", ""};
    QTest::newRow("tab at end kept") << "a\t \r\nb \t"_ba << L{"a\t", "b \t"};
    QTest::newRow("byte 26 is text") << "b\x1A\r\na\x1A"_ba << L{"a\x1A", "b\x1A"};
    QTest::newRow("NUL is text") << QByteArray("b\0\r\na", 5) << L{"a", QByteArray("b\0", 2)};
    QTest::newRow("UTF-8 mark dropped") << "\xEF\xBB\xBF"
                                           "b\r\na"_ba
                                        << L{"a", "b"};
    QTest::newRow("UTF-8 mark alone") << "\xEF\xBB\xBF"_ba << L{};
    // A saved list may start with the Windows-1252 letters that look like a
    // UTF-16 mark; it ends in CR LF, which UTF-16 text never does.
    QTest::newRow("saved list starting like UTF-16 LE")
            << "\xFF\xFE\r\nzz\r\n"_ba << L{"zz", "\xFF\xFE"};
    QTest::newRow("saved list starting like UTF-16 BE") << "\xFE\xFF\r\n"_ba << L{"\xFE\xFF"};
    QTest::newRow("Windows-1252 list starting like UTF-16, last line open") << "\xFF\xFE"
                                                                               "abc\r\nzz"_ba
                                                                            << L{"zz",
                                                                                 "\xFF\xFE"
                                                                                 "abc"};
    QTest::newRow("UTF-8 mark later is text") << "a\r\n\xEF\xBB\xBF"_ba << L{"a", "\xEF\xBB\xBF"};
    // The first 4 KB decide how a file is read; a CR LF may fall across
    // their end. A line may be longer than any one read of a file.
    const QByteArray start(4095, 'x');
    QTest::newRow("CR LF across the end of the first 4 KB") << start + "\r\ny\r\n" << L{start, "y"};
    const QByteArray longLine(4096 + 65535, 'x');
    QTest::newRow("CR LF after a line of over 64 KB") << longLine + "\r\ny" << L{longLine, "y"};
    const QList<QByteArray> wide = wideLines();
    QTest::newRow("file read in two halves at once") << wide.join("\r\n") + "\r\n" << wide;
}

void tst_ListFile::readLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, entries);

    const QString path = m_dir.filePath(u"read.txt"_s);
    QVERIFY(writeFile(path, content));
    EntryList list(QLocale::c());
    const FileResult result = ReadListFile(path, list);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QCOMPARE(itemsOf(list), entries);
}

void tst_ListFile::readRefuses_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("content");
    // What another program or the file system does to the file while it is
    // read (see cutshort.cpp), as NAME=value settings.
    QTest::addColumn<QList<QByteArray>>("meanwhile");
    QTest::addColumn<QString>("reason");
    // The lines that go in all the same, beside the entry already there.
    QTest::addColumn<QList<QByteArray>>("added");

    using L = QList<QByteArray>;
    const QString file = m_dir.filePath(u"refused.txt"_s);
    QTest::newRow("missing file") << m_dir.filePath(u"missing.txt"_s) << QByteArray() << L{}
                                  << u"No such file or directory"_s << L{};
    QTest::newRow("empty name") << QString() << QByteArray() << L{} << u"No file name was given."_s
                                << L{};
    // Reading it fails at once with EIO: the read error path.
    QTest::newRow("read error") << u"/proc/self/mem"_s << QByteArray() << L{}
                                << u"Input/output error"_s << L{};
    QTest::newRow("folder") << m_dir.path() << QByteArray() << L{}
                            << u"This is a folder, not a file."_s << L{};
    // Opening it for reading would wait for a writer.
    const QString fifo = m_dir.filePath(u"read.fifo"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QTest::newRow("FIFO") << fifo << QByteArray() << L{}
                          << u"This is not an ordinary file; it may be a device or a pipe."_s
                          << L{};
    QTest::newRow("device") << u"/dev/zero"_s << QByteArray() << L{}
                            << u"This is not an ordinary file; it may be a device or a pipe."_s
                            << L{};
    const QString utf16 = u"The file is in UTF-16, which this program cannot read. "
                          u"Save it as UTF-8 or as plain text first."_s;
    QTest::newRow("UTF-16 little-endian") << file
                                          << "\xFF\xFE"
                                             "a\0\r\0\n\0"_ba
                                          << L{} << utf16 << L{};
    QTest::newRow("UTF-16 big-endian") << file << "\xFE\xFF\0a\0\r\0\n"_ba << L{} << utf16 << L{};
    QTest::newRow("UTF-16 LE without a mark") << file << "a\0b\0\r\0\n\0"_ba << L{} << utf16 << L{};
    QTest::newRow("UTF-16 BE without a mark") << file << "\0a\0b\0\r\0\n"_ba << L{} << utf16 << L{};
    QTest::newRow("UTF-16 BE ending in U+0D0A")
            << file << "\xFE\xFF\0a\r\n"_ba << L{} << utf16 << L{};
    QTest::newRow("UTF-16 without a mark, half of it Latin")
            << file << "a\0b\0\0\x4E\0\x4E"_ba << L{} << utf16 << L{};
    QTest::newRow("endless system file")
            << u"/proc/self/pagemap"_s << QByteArray() << L{}
            << u"The file states no size and goes on past 64 MB. It may be a system file that "
               u"never ends."_s
            << L{};
    // "name\0.txt" would open "name".
    QVERIFY(writeFile(m_dir.filePath(u"name"_s), "opened\r\n"_ba));
    QTest::newRow("name holding NUL")
            << m_dir.filePath(u"name"_s) + QChar::Null + u".txt"_s << QByteArray() << L{}
            << u"The file name holds a NUL character, which no file name can hold."_s << L{};
    // As a save of it says too.
    QVERIFY(writeFile(m_dir.filePath(u"long.txt"_s), "line\r\n"_ba));
    QTest::newRow("name longer than the system takes")
            << m_dir.filePath(u"./"_s.repeated(2100) + u"long.txt"_s) << QByteArray() << L{}
            << u"File name too long"_s << L{};
    // Passes for a regular file of no size; a read of it waits for the next
    // kernel message. Only root may read it.
    if (const int kmsg = ::open("/proc/kmsg", O_RDONLY | O_NONBLOCK); kmsg >= 0) {
        ::close(kmsg);
        QTest::newRow("system file that waits")
                << u"/proc/kmsg"_s << QByteArray() << L{}
                << u"The file has nothing to read yet. It may be a system file that waits for "
                   u"events, such as kernel messages."_s
                << L{};
    }
    QTest::newRow("name not valid UTF-8")
            << undecodableName(m_dir) << QByteArray() << L{}
            << u"The file name is not valid UTF-8, so this program cannot use it. Rename the "
               u"file, or choose another name."_s
            << L{};

    // 20,000 lines of 12 bytes. Another program changes it when 120,000 have
    // been read, at offsets 100 (read already) and 200,000 (not yet): what
    // was read is part old, part new.
    QList<QByteArray> lines;
    for (int line = 0; line < 20'000; ++line)
        lines.append("line-" + QByteArray::number(line).rightJustified(5, '0'));
    const QByteArray numbered = lines.join("\r\n") + "\r\n";
    const QByteArray changedAt = "LEXIVORN_CUT_AT=120000";
    const QByteArray rewrite = "LEXIVORN_REWRITE_AT=100,200000";
    const QString changed = u"The file changed while it was read: another program wrote to it "
                            u"meanwhile. The list is as it was."_s;
    int name = 0;
    const auto fileFor = [&] {
        return m_dir.filePath(u"numbered %1.txt"_s.arg(++name));
    };
    QTest::newRow("cut short while read")
            << fileFor() << numbered << L{changedAt, "LEXIVORN_CUT_TO=100000"} << changed << L{};
    QTest::newRow("written into at the same size")
            << fileFor() << numbered << L{changedAt, rewrite} << changed << L{};
    // The system stamps a file's times when a write begins, before its data
    // is copied: a read inside one write sees the same times before and
    // after. A file changed that recently is read a second time.
    QTest::newRow("written into, its times stamped before the read")
            << fileFor() << numbered << L{changedAt, rewrite, "LEXIVORN_MAPPED=1"} << changed
            << L{};
    // One write may go on for longer than the file system's clock takes
    // to move.
    QTest::newRow("written into, its times stamped half a second before the read")
            << fileFor() << numbered
            << L{changedAt, rewrite, "LEXIVORN_MAPPED=1", "LEXIVORN_AGE=500"} << changed << L{};
    // Only the status time, which no program can set back, tells.
    QTest::newRow("file of long ago written into, its modification time set back")
            << fileFor() << numbered
            << L{changedAt, rewrite, "LEXIVORN_KEEP_MTIME=1", "LEXIVORN_AGE=1000000"} << changed
            << L{};
    // A network or FUSE file system whose size is stale.
    QTest::newRow("file that ends before its stated size")
            << fileFor() << numbered << L{"LEXIVORN_END_AT=100005"}
            << u"The file ended after 100 kB, though it states a size of 240 kB: part of it "
               u"could not be read. It may be on a network file system that has not caught up "
               u"with it yet. The list is as it was."_s
            << L{};
    QTest::newRow("file that goes on past its stated size")
            << fileFor() << numbered << L{"LEXIVORN_STATED_SIZE=100000"}
            << u"The file goes on past its stated size of 100 kB. It may be a system file that "
               u"never ends, or a file still being written."_s
            << L{};
    // The line the error cut, "line-0833", is not one.
    const qsizetype read = 8333 * 12 + 9;
    QTest::newRow("read error after some lines")
            << fileFor() << numbered << L{"LEXIVORN_FAIL_AT=" + QByteArray::number(read)}
            << u"Input/output error"_s << lines.first(8333);
    // Either half of a file read in two at once may fail or end early.
    const QList<QByteArray> wide = wideLines();
    const QByteArray wideFile = wide.join("\r\n") + "\r\n";
    QTest::newRow("large file, read error in its first half")
            << fileFor() << wideFile << L{"LEXIVORN_FAIL_AT=" + wideOffset(4000)}
            << u"Input/output error"_s << wide.first(4000);
    QTest::newRow("large file, read error in its second half")
            << fileFor() << wideFile << L{"LEXIVORN_FAIL_AT=" + wideOffset(13'000)}
            << u"Input/output error"_s << wide.first(13'000);
    QTest::newRow("large file that ends in the first half of its stated size")
            << fileFor() << wideFile << L{"LEXIVORN_END_AT=" + wideOffset(4000)}
            << u"The file ended after 4 MB, though it states a size of 18 MB: part of it could "
               u"not be read. It may be on a network file system that has not caught up with it "
               u"yet. The list is as it was."_s
            << L{};
}

void tst_ListFile::readRefuses()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, meanwhile);
    QFETCH(QString, reason);
    QFETCH(QList<QByteArray>, added);
    if (!meanwhile.isEmpty() && !qEnvironmentVariable("LD_PRELOAD").contains(u"cutshort"_s))
        QSKIP("needs lexivorn_cutshort preloaded, as CTest runs this test");

    if (!content.isEmpty())
        QVERIFY(writeFile(path, content));
    EntryList list(QLocale::c());
    QVERIFY(list.Add("kept"_ba));
    QList<QByteArray> settings = meanwhile;
    if (!meanwhile.isEmpty())
        settings.append("LEXIVORN_CUT_FILE=" + QFile::encodeName(path));
    const FileResult result = [&] {
        const Settings set(settings);
        return ReadListFile(path, list);
    }();
    QVERIFY(!result.ok());
    QCOMPARE(result.fileName(), path);
    QCOMPARE(result.reason(), reason);
    QCOMPARE(itemsOf(list), QList<QByteArray>{"kept"} + added);
}

void tst_ListFile::capacity()
{
    const QString full = m_dir.filePath(u"full.txt"_s);
    QVERIFY(writeFile(full, QByteArray("line\r\n").repeated(EntryList::MaxCount)));
    const QString one = m_dir.filePath(u"one.txt"_s);
    QVERIFY(writeFile(one, "one more"_ba));
    const QString tooMany = m_dir.filePath(u"toomany.txt"_s);
    QVERIFY(writeFile(tooMany, QByteArray("x\r\n").repeated(40000)));

    EntryList list(QLocale::c());
    FileResult result = ReadListFile(tooMany, list);
    QVERIFY(!result.ok());
    QCOMPARE(result.reason(),
             u"The file has 40000 lines, but the list can take only 32767 more."_s);
    QVERIFY(result.isListFull());
    QCOMPARE(list.Count(), qint16(0));

    QVERIFY(list.Add("first"_ba));
    result = ReadListFile(full, list);
    QCOMPARE(result.reason(),
             u"The file has 32767 lines, but the list can take only 32766 more."_s);
    QCOMPARE(list.Count(), qint16(1));

    EntryList fresh(QLocale::c());
    QVERIFY(ReadListFile(full, fresh).ok());
    QCOMPARE(fresh.Count(), EntryList::MaxCount);
    result = ReadListFile(one, fresh);
    QCOMPARE(result.reason(), u"The file has 1 line, but the list is full."_s);
    QCOMPARE(fresh.Count(), EntryList::MaxCount);
}

// Files that arrive together are read as one: those that can be read go in,
// and a batch with more lines than the list has room for adds nothing.
void tst_ListFile::readFilesAsOne_data()
{
    QTest::addColumn<QList<QByteArray>>("files"); // a null one is not made
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<QStringList>("reasons");

    using L = QList<QByteArray>;
    const QByteArray missing;
    const QByteArray manyLines = "x\r\n"_ba.repeated(20000);
    const QString tooMany = u"The files have %1 lines together, but the list can take only "
                            u"32766 more."_s;
    QTest::newRow("files one after another")
            << L{"b\r\n", "c\r\na"} << L{"a", "b", "c", "kept"} << QStringList();
    QTest::newRow("a missing file among them: the others go in")
            << L{"b\r\n", missing, "a\r\n"} << L{"a", "b", "kept"}
            << QStringList{u"No such file or directory"_s};
    QTest::newRow("too many lines together: none go in")
            << L{"a\r\n", manyLines, manyLines} << L{"kept"} << QStringList{tooMany.arg(40001)};
    QTest::newRow("too many lines together, and a missing file")
            << L{missing, manyLines, manyLines} << L{"kept"}
            << QStringList{u"No such file or directory"_s, tooMany.arg(40000)};
}

void tst_ListFile::readFilesAsOne()
{
    QFETCH(QList<QByteArray>, files);
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QStringList, reasons);

    QStringList names;
    for (qsizetype i = 0; i < files.size(); ++i) {
        names.append(m_dir.filePath(u"batch %1.txt"_s.arg(i)));
        QFile::remove(names.last());
        if (!files[i].isNull())
            QVERIFY(writeFile(names.last(), files[i]));
    }
    EntryList list(QLocale::c());
    QVERIFY(list.Add("kept"_ba));
    const QList<FileResult> failures = ReadListFiles(names, list);
    QStringList failed;
    for (const FileResult &failure : failures)
        failed.append(failure.reason());
    QCOMPARE(failed, reasons);
    QCOMPARE(itemsOf(list), entries);
}

QTEST_APPLESS_MAIN(tst_ListFile)
#include "tst_listfile.moc"
