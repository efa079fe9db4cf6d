#include "entrylist/entrylist.h"
#include "listfile/listfile.h"
#include "listfiletest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace ListFileTest;
using namespace core;
using namespace listfile;

namespace {

enum class Kept {
    ForeignOwner,
    HardLink,
    ExtendedAttribute,
    ReadOnlyFolder,
    BindMounted,
    NoCopyFolder,
    DefaultAcl,
    FolderGroup,
    PlantedLink,
    PlantedFolderLink,
    PlantedFile
};

struct stat statusOf(const QString &path)
{
    struct stat status = {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

// The file's bytes, read by a name that need not be UTF-8.
QByteArray contentOf(const QByteArray &path)
{
    QByteArray content;
    const int fd = ::open(path.constData(), O_RDONLY);
    char buffer[4096];
    for (ssize_t got; fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0;)
        content.append(buffer, got);
    if (fd >= 0)
        ::close(fd);
    return content;
}

// Every regular file under `folder`, links not followed, with its content,
// by its name under `folder` as the system has it.
QMap<QByteArray, QByteArray> regularFilesIn(const QByteArray &folder, const QByteArray &under = {})
{
    QMap<QByteArray, QByteArray> files;
    DIR *entries = ::opendir(QByteArray(folder + '/' + under).constData());
    if (!entries)
        return files;
    while (const dirent *entry = ::readdir(entries)) {
        const QByteArray name = under + entry->d_name;
        if (qstrcmp(entry->d_name, ".") == 0 || qstrcmp(entry->d_name, "..") == 0)
            continue;
        struct stat status;
        if (::lstat(QByteArray(folder + '/' + name).constData(), &status) != 0)
            continue;
        if (S_ISDIR(status.st_mode))
            files.insert(regularFilesIn(folder, name + '/'));
        else if (S_ISREG(status.st_mode))
            files.insert(name, contentOf(folder + '/' + name));
    }
    ::closedir(entries);
    return files;
}

QByteArray attributeOf(const QString &path)
{
    char value[64];
    const ssize_t size =
            ::getxattr(QFile::encodeName(path).constData(), "user.origin", value, sizeof value);
    return size >= 0 ? QByteArray(value, size) : QByteArray();
}

bool hasAccessAcl(const QString &path)
{
    return ::getxattr(QFile::encodeName(path).constData(), "system.posix_acl_access", nullptr, 0)
            >= 0;
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
    void writeThroughLinks_data();
    void writeThroughLinks();
    void saveKeepsTheFile_data();
    void saveKeepsTheFile();

private:
    QTemporaryDir m_dir;
};

void tst_ListFileWrite::writeGivesCrLfLines()
{
    const QString path = m_dir.filePath(u"written.txt"_s);
    QVERIFY(writeFile(path, "old content that is longer than the list"_ba));
    // A second name makes the save write the file where it is, where the
    // old content's tail must be cut.
    const QString other = m_dir.filePath(u"second name.txt"_s);
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);

    EntryList list(QLocale::c());
    QVERIFY(list.Add(QList<QByteArray>{"b", "c", "a"}));
    QVERIFY(WriteListFile(path, list).ok());
    QCOMPARE(readFile(path), "a\r\nb\r\nc\r\n"_ba);
    QCOMPARE(readFile(other), readFile(path));

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

// A name is followed as the system follows it: a link is read relative to
// the folder it lies in, and ".." after a link to a folder leads out of the
// folder it points to, not back to where the name came from.
void tst_ListFileWrite::writeThroughLinks_data()
{
    QTest::addColumn<QList<QByteArray>>("folders");
    QTest::addColumn<QList<QByteArray>>("files"); // each holding "old\r\n"
    QTest::addColumn<QList<QByteArray>>("links"); // name, then what it points to
    QTest::addColumn<QByteArray>("saved");
    QTest::addColumn<QByteArray>("written");

    using L = QList<QByteArray>;
    QTest::newRow("link beside the file")
            << L{} << L{"target.txt"} << L{"link.txt", "target.txt"} << "link.txt"_ba
            << "target.txt"_ba;
    QTest::newRow("link up out of a linked folder")
            << L{"home", "home/data", "real", "real/sub", "real/data"} << L{"real/data/list.txt"}
            << L{"home/docs", "../real/sub", "real/sub/list.txt", "../data/list.txt"}
            << "home/docs/list.txt"_ba
            << "real/data/list.txt"_ba;
    QTest::newRow("dot-dot after a linked folder")
            << L{"home", "real", "real/sub"} << L{} << L{"home/docs", "../real/sub"}
            << "home/docs/../x.txt"_ba
            << "real/x.txt"_ba;
    QTest::newRow("link to a name that is not UTF-8")
            << L{} << L{"caf\xE9.txt"} << L{"link.txt", "caf\xE9.txt"} << "link.txt"_ba
            << "caf\xE9.txt"_ba;
    QTest::newRow("link to no file yet") << L{} << L{} << L{"link.txt", "new.txt"} << "link.txt"_ba
                                         << "new.txt"_ba;
}

void tst_ListFileWrite::writeThroughLinks()
{
    QFETCH(QList<QByteArray>, folders);
    QFETCH(QList<QByteArray>, files);
    QFETCH(QList<QByteArray>, links);
    QFETCH(QByteArray, saved);
    QFETCH(QByteArray, written);

    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path()) + '/';
    for (const QByteArray &folder : folders)
        QCOMPARE(::mkdir(QByteArray(root + folder).constData(), 0700), 0);
    for (const QByteArray &file : files) {
        const int fd =
                ::open(QByteArray(root + file).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0 && ::write(fd, "old\r\n", 5) == 5 && ::close(fd) == 0);
    }
    for (qsizetype i = 0; i + 1 < links.size(); i += 2)
        QCOMPARE(::symlink(links[i + 1].constData(), QByteArray(root + links[i]).constData()), 0);
    QMap<QByteArray, QByteArray> expected = regularFilesIn(root);
    expected.insert(written, "new\r\n"_ba);

    EntryList list(QLocale::c());
    QVERIFY(list.Add("new"_ba));
    const FileResult result = WriteListFile(QFile::decodeName(root + saved), list);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QCOMPARE(regularFilesIn(root), expected);
    for (qsizetype i = 0; i + 1 < links.size(); i += 2)
        QVERIFY(QFileInfo(QFile::decodeName(root + links[i])).isSymLink());
}

// A save writes the list into the file the person named, and leaves it the
// file it was: its owner, group, mode, extended attributes and other names,
// and no access wider than it had. A failed write leaves the old content,
// and nothing beside the file.
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
        QTest::addRow("file mounted onto itself%s", how) << Kept::BindMounted << fails;
    }
    QTest::newRow("file with a second hard link, no folder for the copy")
            << Kept::NoCopyFolder << false;
    QTest::newRow("file in a folder whose default ACL lets another user read")
            << Kept::DefaultAcl << false;
    QTest::newRow("file in a folder that gives new files another group")
            << Kept::FolderGroup << false;
    QTest::newRow("link another user planted in a shared folder") << Kept::PlantedLink << false;
    QTest::newRow("link to a folder another user planted in a shared folder")
            << Kept::PlantedFolderLink << false;
    QTest::newRow("file another user planted in a shared folder") << Kept::PlantedFile << false;
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
    // Longer than a list that is saved, shorter than one whose write fails.
    const QByteArray old = "old\r\n"_ba.repeated(2000);
    QVERIFY(writeFile(path, old));
    const QByteArray file = QFile::encodeName(path);
    QString saved = path;
    QString copies = temp;
    uid_t saver = uid_t(-1);
    gid_t saverGroup = gid_t(-1);
    switch (kept) {
    case Kept::ForeignOwner:
        QCOMPARE(::chown(file.constData(), nobody->pw_uid, nogroup->gr_gid), 0);
        QCOMPARE(::chmod(file.constData(), 0640), 0);
        break;
    case Kept::HardLink:
    case Kept::NoCopyFolder:
        QCOMPARE(::link(file.constData(), QFile::encodeName(other).constData()), 0);
        if (kept == Kept::NoCopyFolder)
            copies = dir.filePath(u"missing"_s);
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
    case Kept::BindMounted:
        break;
    case Kept::DefaultAcl: {
        QCOMPARE(::chmod(file.constData(), 0600), 0);
        // user::rwx user:nobody:r-- group::r-x mask::r-x other::---, as
        // "setfacl -d" writes it.
        QByteArray acl("\x02\0\0\0", 4);
        const auto entry = [&acl](quint16 tag, quint16 permissions, quint32 id) {
            acl.append(reinterpret_cast<const char *>(&tag), 2);
            acl.append(reinterpret_cast<const char *>(&permissions), 2);
            acl.append(reinterpret_cast<const char *>(&id), 4);
        };
        entry(0x01, 7, quint32(-1));
        entry(0x02, 4, nobody->pw_uid);
        entry(0x04, 5, quint32(-1));
        entry(0x10, 5, quint32(-1));
        entry(0x20, 0, quint32(-1));
        if (::setxattr(QFile::encodeName(folder).constData(), "system.posix_acl_default",
                       acl.constData(), size_t(acl.size()), 0)
            != 0)
            QSKIP("the temporary folder's file system keeps no ACLs");
        break;
    }
    case Kept::FolderGroup:
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), 0, nogroup->gr_gid), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 02755), 0);
        break;
    case Kept::PlantedFile:
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
        QCOMPARE(::chown(file.constData(), nobody->pw_uid, nogroup->gr_gid), 0);
        QCOMPARE(::chmod(file.constData(), 0666), 0);
        break;
    case Kept::PlantedLink:
    case Kept::PlantedFolderLink: {
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01777), 0);
        const bool toFolder = kept == Kept::PlantedFolderLink;
        const QString link = folder + (toFolder ? u"/here"_s : u"/planted.txt"_s);
        QVERIFY(QFile::link(toFolder ? folder : path, link));
        QCOMPARE(::lchown(QFile::encodeName(link).constData(), nobody->pw_uid, nogroup->gr_gid), 0);
        saved = toFolder ? link + u"/list.txt"_s : link;
        break;
    }
    }
    const struct stat before = statusOf(path);
    const QStringList filesBefore = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);

    EntryList list(QLocale::c());
    const QByteArray entry(writeFails ? 16 * 1024 : 4 * 1024, 'n');
    QVERIFY(list.Add(entry));
    const ChildSave save = saveInChild(saved, list, saver, saverGroup, writeFails ? 12 * 1024 : 0,
                                       copies, kept == Kept::BindMounted);
    if (!save.mounted)
        QSKIP("mounting a file onto itself takes a mount namespace of one's own");
    const bool written = !writeFails && kept != Kept::PlantedLink && kept != Kept::PlantedFolderLink
            && kept != Kept::PlantedFile && kept != Kept::NoCopyFolder;
    QVERIFY2(save.ok == written, qPrintable(save.reason));
    QCOMPARE(readFile(path), written ? entry + "\r\n" : old);
    const struct stat after = statusOf(path);
    // Or replaced by a new file that took everything from the old.
    if (kept != Kept::DefaultAcl && kept != Kept::FolderGroup)
        QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_nlink, before.st_nlink);
    if (kept == Kept::HardLink || kept == Kept::NoCopyFolder)
        QCOMPARE(readFile(other), readFile(path));
    if (kept == Kept::NoCopyFolder)
        QVERIFY2(save.reason.contains(u"could not be copied aside"_s), qPrintable(save.reason));
    if (kept == Kept::ExtendedAttribute)
        QCOMPARE(attributeOf(path), "kept"_ba);
    if (kept == Kept::DefaultAcl)
        QVERIFY(!hasAccessAcl(path));
    if (kept == Kept::PlantedLink || kept == Kept::PlantedFolderLink)
        QVERIFY2(save.reason.contains(u"link that another user made"_s), qPrintable(save.reason));
    if (kept == Kept::PlantedFile)
        QVERIFY2(save.reason.contains(u"belongs to another user"_s), qPrintable(save.reason));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
    QCOMPARE(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_APPLESS_MAIN(tst_ListFileWrite)
#include "tst_listfilewrite.moc"
