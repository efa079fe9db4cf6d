#include "entrylist.h"
#include "listfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> itemsOf(const EntryList &list)
{
    QList<QByteArray> items;
    for (qint16 i = 0; i < list.Count(); ++i)
        items << list.Item(i);
    return items;
}

QStringList filesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

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

struct BenchRun
{
    int status = 0;
    QByteArray errors;
};

// Runs lexivorn_bench with the arguments as bytes, as a shell passes them,
// under one limit set in the child before it starts.
BenchRun runBench(const QList<QByteArray> &arguments, int resource, qint64 limit)
{
    QList<QByteArray> strings = {LEXIVORN_BENCH};
    strings += arguments;
    std::vector<char *> argv;
    for (QByteArray &string : strings)
        argv.push_back(string.data());
    argv.push_back(nullptr);

    BenchRun run;
    int errors[2];
    if (pipe(errors) != 0)
        return run;
    const pid_t child = fork();
    if (child == 0) {
        dup2(errors[1], STDERR_FILENO);
        close(errors[0]);
        close(errors[1]);
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit value{rlim_t(limit), rlim_t(limit)};
        setrlimit(resource, &value);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(errors[1]);
    char buffer[4096];
    for (ssize_t got; (got = read(errors[0], buffer, sizeof buffer)) > 0;)
        run.errors.append(buffer, got);
    close(errors[0]);
    waitpid(child, &run.status, 0);
    return run;
}

} // namespace

class tst_ListFile : public QObject
{
    Q_OBJECT

private slots:
    void readLines_data();
    void readLines();
    void crLfSplitAcrossReads();
    void writeGivesCrLfLines();
    void roundTrip_data();
    void roundTrip();
    void readRefuses_data();
    void readRefuses();
    void readRefusesFifoWithoutBlocking();
    void capacity();
    void writeFailsWithReason_data();
    void writeFailsWithReason();
    void writeRefusesFifoWithoutBlocking();
    void writeThroughSymlink();
    void limitsOfTheMachine_data();
    void limitsOfTheMachine();

private:
    QTemporaryDir m_dir;
};

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
}

void tst_ListFile::readLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<QByteArray>, entries);

    const QString path = m_dir.filePath(u"read.txt"_s);
    writeFile(path, content);
    EntryList list(QLocale::c());
    const FileResult result = ReadListFile(path, list);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QCOMPARE(itemsOf(list), entries);
}

// The file is read in pieces; a CR LF may fall across two of them.
void tst_ListFile::crLfSplitAcrossReads()
{
    const QString path = m_dir.filePath(u"split.txt"_s);
    for (qsizetype length = 65534; length <= 65537; ++length) {
        const QByteArray line(length, 'x');
        writeFile(path, line + "\r\ny\r\n");
        EntryList list(QLocale::c());
        QVERIFY(ReadListFile(path, list).ok());
        QCOMPARE(itemsOf(list), (QList<QByteArray>{line, "y"}));
    }
}

void tst_ListFile::writeGivesCrLfLines()
{
    const QString path = m_dir.filePath(u"written.txt"_s);
    writeFile(path, "old content that is longer than the list"_ba);

    EntryList list(QLocale::c());
    QVERIFY(list.Add(QList<QByteArray>{"b", "c", "a"}));
    QVERIFY(WriteListFile(path, list).ok());
    QCOMPARE(readFile(path), "a\r\nb\r\nc\r\n"_ba);

    EntryList empty(QLocale::c());
    QVERIFY(WriteListFile(path, empty).ok());
    QCOMPARE(QFileInfo(path).size(), 0);
    QCOMPARE(filesIn(m_dir).filter(u"written"_s), QStringList{u"written.txt"_s});
}

// A saved list reads back as the same entries, and so saves as the same
// bytes. Where its bytes would be taken for a mark or for UTF-16, the file
// starts with a UTF-8 mark, which reading drops.
void tst_ListFile::roundTrip_data()
{
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<bool>("marked");

    QTest::newRow("hostile bytes") << QList<QByteArray>{
            QByteArray("nul\0inside", 10),
            "invalid \xC3\x28 utf-8",
            "latin-1 caf\xE9",
            "windows-1252 \x80\x81\x9F",
            "byte 26 \x1A end",
            "tab\tend\t",
            "lone LF\ninside",
            "   leading spaces",
            "\xEF\xBB\xBF mark inside",
            "",
            QByteArray(1024 * 1024 + 7, 'L'),
    } << false;
    QTest::newRow("first entry starting with U+FEFF") << QList<QByteArray>{"\xEF\xBB\xBF"
                                                                           "first"}
                                                      << true;
    QTest::newRow("first entry starting like UTF-16 BE, ending in U+0D0A")
            << QList<QByteArray>{QByteArray("\xFE\xFF\0a", 4)} << true;
    QTest::newRow("first entry starting with the letters \"ÿþ\"") << QList<QByteArray>{"\xFF\xFE"
                                                                                       "abc"}
                                                                  << false;
}

void tst_ListFile::roundTrip()
{
    QFETCH(QList<QByteArray>, entries);
    QFETCH(bool, marked);

    EntryList list(QLocale(u"en_US"_s));
    QVERIFY(list.Add(entries));
    const QString path = m_dir.filePath(u"saved.txt"_s);
    QVERIFY(WriteListFile(path, list).ok());
    QByteArray expected = marked ? "\xEF\xBB\xBF"_ba : QByteArray();
    for (const QByteArray &entry : itemsOf(list))
        expected += entry + "\r\n";
    QCOMPARE(readFile(path), expected);

    EntryList again(QLocale(u"en_US"_s));
    const FileResult read = ReadListFile(path, again);
    QVERIFY2(read.ok(), qPrintable(read.reason()));
    QCOMPARE(itemsOf(again), itemsOf(list));
}

void tst_ListFile::readRefuses_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");

    const QString file = m_dir.filePath(u"refused.txt"_s);
    QTest::newRow("missing file") << m_dir.filePath(u"missing.txt"_s) << QByteArray()
                                  << u"No such file or directory"_s;
    QTest::newRow("empty name") << QString() << QByteArray() << u"No file name was given."_s;
    // Reading it fails at once with EIO: the read error path.
    QTest::newRow("read error") << u"/proc/self/mem"_s << QByteArray() << u"Input/output error"_s;
    QTest::newRow("folder") << m_dir.path() << QByteArray() << u"This is a folder, not a file."_s;
    QTest::newRow("device") << u"/dev/zero"_s << QByteArray()
                            << u"This is not an ordinary file; it may be a device or a pipe."_s;
    const QString utf16 = u"The file is in UTF-16, which this program cannot read. "
                          u"Save it as UTF-8 or as plain text first."_s;
    QTest::newRow("UTF-16 little-endian") << file
                                          << "\xFF\xFE"
                                             "a\0\r\0\n\0"_ba
                                          << utf16;
    QTest::newRow("UTF-16 big-endian") << file << "\xFE\xFF\0a\0\r\0\n"_ba << utf16;
    QTest::newRow("UTF-16 LE without a mark") << file << "a\0b\0\r\0\n\0"_ba << utf16;
    QTest::newRow("UTF-16 BE without a mark") << file << "\0a\0b\0\r\0\n"_ba << utf16;
    QTest::newRow("UTF-16 BE ending in U+0D0A") << file << "\xFE\xFF\0a\r\n"_ba << utf16;
    QTest::newRow("endless system file")
            << u"/proc/self/pagemap"_s << QByteArray()
            << u"The file states no size and goes on past 64 MB. It may be a system file that "
               u"never ends."_s;
    QTest::newRow("name not valid UTF-8")
            << undecodableName(m_dir) << QByteArray()
            << u"The file name is not valid UTF-8, so this program cannot use it. Rename the "
               u"file, or choose another name."_s;
}

void tst_ListFile::readRefuses()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);

    if (!content.isEmpty())
        writeFile(path, content);
    EntryList list(QLocale::c());
    QVERIFY(list.Add("kept"_ba));
    const FileResult result = ReadListFile(path, list);
    QVERIFY(!result.ok());
    QCOMPARE(result.fileName(), path);
    QCOMPARE(result.reason(), reason);
    QCOMPARE(itemsOf(list), QList<QByteArray>{"kept"});
}

void tst_ListFile::readRefusesFifoWithoutBlocking()
{
    const QString path = m_dir.filePath(u"read.fifo"_s);
    QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EntryList list(QLocale::c());
    const FileResult result = ReadListFile(path, list);
    QVERIFY(!result.ok());
    QCOMPARE(result.reason(), u"This is not an ordinary file; it may be a device or a pipe."_s);
}

void tst_ListFile::capacity()
{
    const QString full = m_dir.filePath(u"full.txt"_s);
    writeFile(full, QByteArray("line\r\n").repeated(EntryList::MaxCount));
    const QString one = m_dir.filePath(u"one.txt"_s);
    writeFile(one, "one more"_ba);
    const QString tooMany = m_dir.filePath(u"toomany.txt"_s);
    writeFile(tooMany, QByteArray("x\r\n").repeated(40000));

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

void tst_ListFile::writeFailsWithReason_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");

    const QString regular = m_dir.filePath(u"regular.txt"_s);
    writeFile(regular, "x"_ba);
    QTest::newRow("under a regular file") << regular + u"/list.txt"_s << u"Not a directory"_s;
    QTest::newRow("missing folder")
            << m_dir.filePath(u"missing/list.txt"_s) << u"No such file or directory"_s;
    QTest::newRow("folder") << m_dir.path() << u"This is a folder, not a file."_s;
    QTest::newRow("empty name") << QString() << u"No file name was given."_s;
    QTest::newRow("device") << u"/dev/null"_s
                            << u"This is not an ordinary file; it may be a device or a pipe."_s;
    // The system says "No such file or directory" of a new file there,
    // though /proc is there; creating nothing in it is the truth.
    QTest::newRow("folder of the system's own")
            << u"/proc/list.txt"_s
            << (QFileInfo(u"/proc"_s).isWritable() ? u"Operation not supported"_s
                                                   : u"Permission denied"_s);
}

void tst_ListFile::writeFailsWithReason()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);

    const QStringList filesBefore = filesIn(m_dir);
    EntryList list(QLocale::c());
    QVERIFY(list.Add("entry"_ba));
    const FileResult result = WriteListFile(path, list);
    QVERIFY(!result.ok());
    QCOMPARE(result.fileName(), path);
    QVERIFY2(result.reason().contains(reason), qPrintable(result.reason()));
    QCOMPARE(filesIn(m_dir), filesBefore);
}

void tst_ListFile::writeRefusesFifoWithoutBlocking()
{
    const QString path = m_dir.filePath(u"write.fifo"_s);
    QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EntryList list(QLocale::c());
    QVERIFY(list.Add("entry"_ba));
    QVERIFY(!WriteListFile(path, list).ok());
    struct stat status;
    QCOMPARE(stat(QFile::encodeName(path).constData(), &status), 0);
    QVERIFY(S_ISFIFO(status.st_mode));
}

void tst_ListFile::writeThroughSymlink()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(u"target.txt"_s);
    const QString link = dir.filePath(u"link.txt"_s);
    writeFile(target, "old\r\n"_ba);
    QVERIFY(QFile::link(target, link));

    EntryList list(QLocale::c());
    QVERIFY(list.Add("new"_ba));
    QVERIFY(WriteListFile(link, list).ok());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readFile(target), "new\r\n"_ba);
    QCOMPARE(filesIn(dir), (QStringList{u"link.txt"_s, u"target.txt"_s}));
}

void tst_ListFile::limitsOfTheMachine_data()
{
    QTest::addColumn<int>("resource");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<qsizetype>("inputBytes");
    QTest::addColumn<QByteArray>("outputName");
    QTest::addColumn<QString>("reason");

    const QString tooLarge = u"The file is too large for the memory this program can get"_s;
    // Qt buffers up to 16 KiB: a smaller list fails only in the final flush.
    QTest::newRow("file size limit, list larger than the write buffer")
            << int(RLIMIT_FSIZE) << qint64(4096) << qsizetype(20 * 1024) << "list.txt"_ba
            << u"File too large"_s;
    QTest::newRow("file size limit, list smaller than the write buffer")
            << int(RLIMIT_FSIZE) << qint64(4096) << qsizetype(8 * 1024) << "list.txt"_ba
            << u"File too large"_s;
    // The input is sparse: it takes no room on disk and is never read.
    QTest::newRow("address space limit")
            << int(RLIMIT_AS) << qint64(2) * 1024 * 1024 * 1024 << qsizetype(1024) * 1024 * 1024
            << "list.txt"_ba << tooLarge;
    QTest::newRow("data size limit") << int(RLIMIT_DATA) << qint64(512) * 1024 * 1024
                                     << qsizetype(1024) * 1024 * 1024 << "list.txt"_ba << tooLarge;
    QTest::newRow("output name not valid UTF-8")
            << int(RLIMIT_FSIZE) << qint64(RLIM_INFINITY) << qsizetype(60) << "caf\xE9.txt"_ba
            << u"The file name is not valid UTF-8"_s;
}

// lexivorn_bench reads and saves as the program does, so it runs here under
// each limit as the program would: the limit set in the child, the signal
// a file-size limit raises left to the program. It must say why it failed
// and leave the old list file whole, with nothing beside it.
void tst_ListFile::limitsOfTheMachine()
{
    QFETCH(int, resource);
    QFETCH(qint64, limit);
    QFETCH(qsizetype, inputBytes);
    QFETCH(QByteArray, outputName);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    const QString list = dir.filePath(u"list.txt"_s);
    const QByteArray original = "original\r\n"_ba.repeated(20);
    writeFile(list, original);
    // A large input is sparse: it takes no room on disk, and is refused
    // before it is read.
    QFile input(dir.filePath(u"input.txt"_s));
    QVERIFY(input.open(QIODevice::WriteOnly));
    QVERIFY(input.write("line\r\n"_ba.repeated(qMin(inputBytes, qsizetype(32 * 1024)) / 6)) > 0);
    QVERIFY(input.resize(qMax(input.size(), qint64(inputBytes))));
    input.close();
    const QStringList filesBefore = filesIn(dir);

    const QByteArray output = QFile::encodeName(dir.path()) + '/' + outputName;
    const BenchRun run = runBench({output, QFile::encodeName(input.fileName())}, resource, limit);
    QVERIFY2(WIFEXITED(run.status), "lexivorn_bench was killed by a signal");
    QCOMPARE(WEXITSTATUS(run.status), 1);
    QVERIFY2(run.errors.contains(reason.toUtf8()), run.errors.constData());
    QCOMPARE(readFile(list), original);
    QCOMPARE(filesIn(dir), filesBefore);
}

QTEST_APPLESS_MAIN(tst_ListFile)
#include "tst_listfile.moc"
