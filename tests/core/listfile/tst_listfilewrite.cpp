#include "entrylist/entrylist.h"
#include "listfile/listfile.h"
#include "listfiletest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>

using namespace Qt::StringLiterals;
using namespace ListFileTest;
using namespace core;
using namespace listfile;

namespace {

enum class Kept { ForeignOwner, HardLink, ExtendedAttribute, ReadOnlyFolder, PlantedLink };

struct stat statusOf(const QString &path)
{
    struct stat status = {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

QByteArray attributeOf(const QString &path)
{
    char value[64];
    const ssize_t size =
            ::getxattr(QFile::encodeName(path).constData(), "user.origin", value, sizeof value);
    return size >= 0 ? QByteArray(value, size) : QByteArray();
}

} // namespace

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
    void saveKeepsTheFile_data();
    void saveKeepsTheFile();

private:
    QTemporaryDir m_dir;
};

void tst_ListFileWrite::writeGivesCrLfLines()
{
    const QString path = m_dir.filePath(u"written.txt"_s);
    QVERIFY(writeFile(path, "old content that is longer than the list"_ba));

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
    QVERIFY(writeFile(regular, "x"_ba));
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
    QVERIFY(writeFile(target, "old\r\n"_ba));
    QVERIFY(QFile::link(target, link));

    EntryList list(QLocale::c());
    QVERIFY(list.Add("new"_ba));
    QVERIFY(WriteListFile(link, list).ok());
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readFile(target), "new\r\n"_ba);
    QCOMPARE(filesIn(dir), (QStringList{u"link.txt"_s, u"target.txt"_s}));
}

// A save writes the list into the file the person named, and leaves it the
// file it was: its owner, group, mode, extended attributes and other names.
// A failed write leaves the old content, and nothing beside the file.
void tst_ListFileWrite::saveKeepsTheFile_data()
{
    QTest::addColumn<Kept>("kept");
    QTest::addColumn<bool>("writeFails");

    for (const bool fails : {false, true}) {
        const char *const how = fails ? ", write fails" : "";
        QTest::addRow("file of another owner%s", how) << Kept::ForeignOwner << fails;
        QTest::addRow("file with a second hard link%s", how) << Kept::HardLink << fails;
        QTest::addRow("file with an extended attribute%s", how) << Kept::ExtendedAttribute << fails;
        QTest::addRow("own file in a folder not writable%s", how) << Kept::ReadOnlyFolder << fails;
    }
    QTest::newRow("link another user planted in a shared folder") << Kept::PlantedLink << false;
}

void tst_ListFileWrite::saveKeepsTheFile()
{
    QFETCH(Kept, kept);
    QFETCH(bool, writeFails);
    if (::geteuid() != 0)
        QSKIP("giving files to another user takes root");
    const passwd *nobody = ::getpwnam("nobody");
    const group *nogroup = ::getgrnam("nogroup");
    QVERIFY(nobody && nogroup);

    // Everyone may reach the files, so that a save as "nobody" can.
    QTemporaryDir dir;
    QVERIFY(QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                          | QFile::ExeGroup | QFile::ExeOther));
    const QString folder = dir.filePath(u"folder"_s);
    const QString temp = dir.filePath(u"temp"_s);
    QVERIFY(QDir().mkdir(folder) && QDir().mkdir(temp));
    QCOMPARE(::chmod(QFile::encodeName(temp).constData(), 01777), 0);
    const QString path = folder + u"/list.txt"_s;
    const QString other = dir.filePath(u"other name.txt"_s);
    const QByteArray old = "old\r\n"_ba;
    QVERIFY(writeFile(path, old));
    const QByteArray file = QFile::encodeName(path);
    QString saved = path;
    uid_t saver = uid_t(-1);
    gid_t saverGroup = gid_t(-1);
    switch (kept) {
    case Kept::ForeignOwner:
        QCOMPARE(::chown(file.constData(), nobody->pw_uid, nogroup->gr_gid), 0);
        QCOMPARE(::chmod(file.constData(), 0640), 0);
        break;
    case Kept::HardLink:
        QCOMPARE(::link(file.constData(), QFile::encodeName(other).constData()), 0);
        break;
    case Kept::ExtendedAttribute:
        if (::setxattr(file.constData(), "user.origin", "kept", 4, 0) != 0)
            QSKIP("the temporary folder's file system keeps no extended attributes");
        break;
    case Kept::ReadOnlyFolder:
        QCOMPARE(::chown(file.constData(), nobody->pw_uid, nogroup->gr_gid), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
        saver = nobody->pw_uid;
        saverGroup = nogroup->gr_gid;
        break;
    case Kept::PlantedLink:
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
        saved = folder + u"/planted.txt"_s;
        QVERIFY(QFile::link(path, saved));
        QCOMPARE(::lchown(QFile::encodeName(saved).constData(), nobody->pw_uid, nogroup->gr_gid),
                 0);
        break;
    }
    const struct stat before = statusOf(path);
    const QStringList filesBefore = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);

    EntryList list(QLocale::c());
    QVERIFY(list.Add(QByteArray(8 * 1024, 'n')));
    const ChildSave save = saveInChild(saved, list, saver, saverGroup, writeFails ? 1024 : 0, temp);
    const bool written = !writeFails && kept != Kept::PlantedLink;
    QVERIFY2(save.ok == written, qPrintable(save.reason));
    QCOMPARE(readFile(path), written ? QByteArray(8 * 1024, 'n') + "\r\n" : old);
    const struct stat after = statusOf(path);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_nlink, before.st_nlink);
    if (kept == Kept::HardLink)
        QCOMPARE(readFile(other), readFile(path));
    if (kept == Kept::ExtendedAttribute)
        QCOMPARE(attributeOf(path), "kept"_ba);
    if (kept == Kept::PlantedLink)
        QVERIFY2(save.reason.contains(u"link that another user made"_s), qPrintable(save.reason));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
    QCOMPARE(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_APPLESS_MAIN(tst_ListFileWrite)
#include "tst_listfilewrite.moc"
