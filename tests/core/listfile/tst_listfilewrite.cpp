#include "entrylist.h"
#include "listfile.h"
#include "listfiletest.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace ListFileTest;
using namespace core;
using namespace listfile;

class tst_ListFileWrite : public QObject
{
    Q_OBJECT

private slots:
    void writeGivesCrLfLines();
    void roundTrip_data();
    void roundTrip();
    void writeFailsWithReason_data();
    void writeFailsWithReason();
    void writeRefusesFifoWithoutBlocking();
    void writeThroughSymlink();

private:
    QTemporaryDir m_dir;
};

void tst_ListFileWrite::writeGivesCrLfLines()
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
void tst_ListFileWrite::roundTrip_data()
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

void tst_ListFileWrite::roundTrip()
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

void tst_ListFileWrite::writeFailsWithReason_data()
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

void tst_ListFileWrite::writeFailsWithReason()
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

void tst_ListFileWrite::writeRefusesFifoWithoutBlocking()
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

void tst_ListFileWrite::writeThroughSymlink()
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

QTEST_APPLESS_MAIN(tst_ListFileWrite)
#include "tst_listfilewrite.moc"
