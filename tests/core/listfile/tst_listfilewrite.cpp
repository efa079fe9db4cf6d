#include "entrylist/entrylist.h"
#include "listfile/listfile.h"
#include "listfiletest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <QScopeGuard>

#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <pwd.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    PlantedFile,
    PlantedFileGroupFolder,
    AttributeFlags,
    WriteOnlyFile,
    HiddenNameTaken
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
    void writeThroughLinks_data();
    void writeThroughLinks();
    void writeIntoAnotherMountNamespace();
    void saveKeepsTheFile_data();
    void saveKeepsTheFile();
    void stopDuringSave_data();
    void stopDuringSave();

private:
    QTemporaryDir m_dir;
    // Held open for the rows that reach them through /proc/self/fd.
    int m_deletedFile = -1;
    int m_pipe[2] = {-1, -1};
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
    // What the file system does meanwhile (see failcall.cpp).
    QTest::addColumn<QList<QByteArray>>("meanwhile");

    const QList<QByteArray> hostile = {
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
    };
    using L = QList<QByteArray>;
    QTest::newRow("hostile bytes") << hostile << false << L{};
    // A write may take part of what it is given, the rest going in the next.
    QTest::newRow("hostile bytes, written 1000 bytes at a time")
            << hostile << false << L{"LEXIVORN_WRITE_AT_MOST=1000"};
    QTest::newRow("first entry starting with U+FEFF") << L{"\xEF\xBB\xBF"
                                                           "first"}
                                                      << true << L{};
    QTest::newRow("first entry starting like UTF-16 BE, ending in U+0D0A")
            << L{QByteArray("\xFE\xFF\0a", 4)} << true << L{};
    QTest::newRow("first entry starting with the letters \"ÿþ\"") << L{"\xFF\xFE"
                                                                       "abc"}
                                                                  << false << L{};
}

void tst_ListFileWrite::roundTrip()
{
    QFETCH(QList<QByteArray>, entries);
    QFETCH(bool, marked);
    QFETCH(QList<QByteArray>, meanwhile);

    EntryList list(QLocale(u"en_US"_s));
    QVERIFY(list.Add(entries));
    const QString path = m_dir.filePath(u"saved.txt"_s);
    {
        const Settings set(meanwhile
                           + QList<QByteArray>{"LEXIVORN_FAIL_FILE=" + QFile::encodeName(path)});
        QVERIFY(WriteListFile(path, list).ok());
    }
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
    // What the file system or another program does meanwhile (see
    // failcall.cpp); such a save runs in a child process.
    QTest::addColumn<QList<QByteArray>>("meanwhile");

    using L = QList<QByteArray>;
    const QString regular = m_dir.filePath(u"regular.txt"_s);
    QVERIFY(writeFile(regular, "x"_ba));
    QTest::newRow("under a regular file")
            << regular + u"/list.txt"_s << u"Not a directory"_s << L{};
    // A name that ends in a slash names a folder.
    QTest::newRow("file name ending in a slash") << regular + u"/"_s << u"Not a directory"_s << L{};
    QTest::newRow("missing folder")
            << m_dir.filePath(u"missing/list.txt"_s) << u"No such file or directory"_s << L{};
    QTest::newRow("folder") << m_dir.path() << u"This is a folder, not a file."_s << L{};
    QTest::newRow("empty name") << QString() << u"No file name was given."_s << L{};
    QTest::newRow("device") << u"/dev/null"_s
                            << u"This is not an ordinary file; it may be a device or a pipe."_s
                            << L{};
    const QString fifo = m_dir.filePath(u"write.fifo"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QTest::newRow("FIFO, without waiting for a reader")
            << fifo << u"This is not an ordinary file; it may be a device or a pipe."_s << L{};
    // The system says "No such file or directory" of a new file there,
    // though /proc is there; creating nothing in it is the truth.
    QTest::newRow("folder of the system's own")
            << u"/proc/list.txt"_s
            << (QFileInfo(u"/proc"_s).isWritable() ? u"Operation not supported"_s
                                                   : u"Permission denied"_s)
            << L{};
    // Open could not read it back by that name.
    QTest::newRow("name longer than the system takes")
            << m_dir.filePath(u"./"_s.repeated(2100) + u"list.txt"_s) << u"File name too long"_s
            << L{};
    // The system follows 40 links in one name, no more.
    for (int link = 0; link <= 40; ++link)
        QVERIFY(QFile::link(u"chain %1"_s.arg(link + 1), m_dir.filePath(u"chain %1"_s.arg(link))));
    QTest::newRow("name that takes 41 links")
            << m_dir.filePath(u"chain 0"_s) << u"Too many levels of symbolic links"_s << L{};
    // Links under /proc stand for the open file itself: their text, "NAME
    // (deleted)" or "pipe:[123]", names nothing.
    m_deletedFile = ::open(QFile::encodeName(m_dir.filePath(u"deleted.txt"_s)).constData(),
                           O_RDWR | O_CREAT, 0600);
    QVERIFY(m_deletedFile >= 0 && QFile::remove(m_dir.filePath(u"deleted.txt"_s)));
    QTest::newRow("deleted file, reached through /proc")
            << u"/proc/self/fd/%1"_s.arg(m_deletedFile)
            << u"The file has been deleted: the list would be lost with it. Choose another name."_s
            << L{};
    QCOMPARE(::pipe(m_pipe), 0);
    QTest::newRow("pipe, reached through /proc")
            << u"/proc/self/fd/%1"_s.arg(m_pipe[1])
            << u"This is not an ordinary file; it may be a device or a pipe."_s << L{};
    const QByteArray failFile = "LEXIVORN_FAIL_FILE=" + QFile::encodeName(m_dir.filePath(u"x"_s));
    QVERIFY(QFile::link(u"regular.txt"_s, m_dir.filePath(u"unreadable link.txt"_s)));
    QTest::newRow("link that cannot be read")
            << m_dir.filePath(u"unreadable link.txt"_s) << u"Input/output error"_s
            << L{"LEXIVORN_FAIL_CALL=readlinkat", failFile};
    // Another program puts a link where a folder or the file was, after the
    // save looked at it: the link is not followed.
    for (const QString &race : {u"folder race"_s, u"file race"_s}) {
        QVERIFY(QDir(m_dir.path()).mkpath(race + u"/sub"_s));
        QVERIFY(QDir(m_dir.path()).mkpath(race + u"/elsewhere"_s));
    }
    QVERIFY(writeFile(m_dir.filePath(u"file race/sub/list.txt"_s), "old\r\n"_ba));
    QVERIFY(writeFile(m_dir.filePath(u"file race/elsewhere/list.txt"_s), "other\r\n"_ba));
    const auto swap = [&](const QString &name, const QString &to) {
        return L{"LEXIVORN_SWAP=" + QFile::encodeName(m_dir.filePath(name)),
                 "LEXIVORN_SWAP_TO=" + QFile::encodeName(m_dir.filePath(to))};
    };
    QTest::newRow("folder made a link after it was looked at")
            << m_dir.filePath(u"folder race/sub/list.txt"_s) << u"Not a directory"_s
            << swap(u"folder race/sub"_s, u"folder race/elsewhere"_s);
    QTest::newRow("file made a link after it was looked at")
            << m_dir.filePath(u"file race/sub/list.txt"_s)
            << u"Another program put a link in the file's place while it was saved. Nothing was "
               u"written; try again."_s
            << swap(u"file race/sub/list.txt"_s, u"file race/elsewhere/list.txt"_s);
    // The folder the program runs in was deleted: a relative name is in it.
    QTest::newRow("relative name in a deleted folder")
            << u"list.txt"_s
            << u"The folder no longer exists: it was deleted or moved away. Choose another "
               u"folder."_s
            << L{"LEXIVORN_IN_DELETED_FOLDER=1"};
}

void tst_ListFileWrite::writeFailsWithReason()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    QFETCH(QList<QByteArray>, meanwhile);
    if (!meanwhile.isEmpty() && !qEnvironmentVariable("LD_PRELOAD").contains(u"failcall"_s))
        QSKIP("needs lexivorn_failcall preloaded, as CTest runs this test");

    const QStringList filesBefore = filesIn(m_dir);
    // Every file with its content, under its name or under the one a swap
    // gave it.
    const auto contentNow = [this] {
        QMap<QByteArray, QByteArray> content = regularFilesIn(QFile::encodeName(m_dir.path()));
        for (const QByteArray &name : content.keys()) {
            if (name.endsWith(".moved"))
                content.insert(name.chopped(6), content.take(name));
        }
        return content;
    };
    const QMap<QByteArray, QByteArray> contentBefore = contentNow();
    EntryList list(QLocale::c());
    QVERIFY(list.Add("entry"_ba));
    if (meanwhile.isEmpty()) {
        const FileResult result = WriteListFile(path, list);
        QVERIFY(!result.ok());
        QCOMPARE(result.fileName(), path);
        QVERIFY2(result.reason().contains(reason), qPrintable(result.reason()));
    } else {
        QTemporaryDir deleted;
        const QString here = QDir::currentPath();
        if (meanwhile.contains("LEXIVORN_IN_DELETED_FOLDER=1"))
            QVERIFY(QDir::setCurrent(deleted.path()) && QDir().rmdir(deleted.path()));
        const ChildSave save =
                saveInChild(path, list, uid_t(-1), gid_t(-1), 0, m_dir.path(), false, meanwhile);
        QVERIFY(QDir::setCurrent(here));
        QVERIFY(!save.ok);
        QVERIFY2(save.reason.contains(reason), qPrintable(save.reason));
    }
    QCOMPARE(filesIn(m_dir), filesBefore);
    QCOMPARE(contentNow(), contentBefore);
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
    // As many as the system follows in one name.
    L chain;
    for (int link = 0; link < 40; ++link)
        chain << "link " + QByteArray::number(link)
              << (link < 39 ? "link " + QByteArray::number(link + 1) : "target.txt"_ba);
    QTest::newRow("name that takes 40 links") << L{} << L{"target.txt"} << chain << "link 0"_ba
                                              << "target.txt"_ba;
}

// /proc/PID/root is the root folder of a process as it sees it, in its own
// view of the mounts: a save through it reaches the file that process sees,
// not the one of the same name here.
void tst_ListFileWrite::writeIntoAnotherMountNamespace()
{
    QTemporaryDir dir;
    const QByteArray mountPoint = QFile::encodeName(dir.path());
    QVERIFY(writeFile(dir.filePath(u"list.txt"_s), "here\r\n"_ba));
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        // A folder of its own mounted over the temporary one, holding its
        // own list.txt, seen by this process alone.
        const bool mounted = ::unshare(CLONE_NEWNS) == 0
                && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                && ::mount("none", mountPoint.constData(), "tmpfs", 0, nullptr) == 0
                && writeFile(dir.filePath(u"list.txt"_s), "there\r\n"_ba);
        const char answer = mounted ? 'y' : 'n';
        if (::write(ready[1], &answer, 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    const bool told = ::read(ready[0], &answer, 1) == 1;
    ::close(ready[0]);
    ::close(ready[1]);
    const auto stop = qScopeGuard([child] {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    });
    QVERIFY(told);
    if (answer != 'y')
        QSKIP("mounting takes a mount namespace of one's own");

    const QString there = u"/proc/%1/root"_s.arg(child) + dir.filePath(u"list.txt"_s);
    QCOMPARE(readFile(there), "there\r\n"_ba);
    EntryList list(QLocale::c());
    QVERIFY(list.Add("new"_ba));
    const FileResult result = WriteListFile(there, list);
    QVERIFY2(result.ok(), qPrintable(result.reason()));
    QCOMPARE(readFile(there), "new\r\n"_ba);
    QCOMPARE(readFile(dir.filePath(u"list.txt"_s)), "here\r\n"_ba);
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
    QTest::newRow("file another user planted in a sticky folder its group may write")
            << Kept::PlantedFileGroupFolder << false;
    QTest::newRow("file with the attribute flag nodump") << Kept::AttributeFlags << false;
    QTest::newRow("own file that its owner may only write") << Kept::WriteOnlyFile << false;
    // Where the file system makes no unnamed files, the new file is made
    // under a hidden name, never one another file has taken meanwhile.
    QTest::newRow("hidden name taken by a link to another file") << Kept::HiddenNameTaken << false;
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
    QList<QByteArray> meanwhile;
    const QString victim = dir.filePath(u"victim.txt"_s);
    QVERIFY(writeFile(victim, "victim\r\n"_ba));
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
    case Kept::PlantedFileGroupFolder:
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 01770), 0);
        QCOMPARE(::chown(file.constData(), nobody->pw_uid, nogroup->gr_gid), 0);
        QCOMPARE(::chmod(file.constData(), 0666), 0);
        break;
    case Kept::AttributeFlags: {
        const int fd = ::open(file.constData(), O_RDONLY);
        int flags = FS_NODUMP_FL;
        const bool set = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        if (!set)
            QSKIP("the temporary folder's file system keeps no attribute flags");
        break;
    }
    case Kept::WriteOnlyFile:
        QCOMPARE(::chown(file.constData(), nobody->pw_uid, nogroup->gr_gid), 0);
        QCOMPARE(::chmod(file.constData(), 0200), 0);
        QCOMPARE(::chown(QFile::encodeName(folder).constData(), nobody->pw_uid, nogroup->gr_gid),
                 0);
        saver = nobody->pw_uid;
        saverGroup = nogroup->gr_gid;
        break;
    case Kept::HiddenNameTaken:
        if (!qEnvironmentVariable("LD_PRELOAD").contains(u"failcall"_s))
            QSKIP("needs lexivorn_failcall preloaded, as CTest runs this test");
        meanwhile = {"LEXIVORN_FAIL_CALL=O_TMPFILE", "LEXIVORN_FAIL_FILE=" + file,
                     "LEXIVORN_PLANT=" + QFile::encodeName(victim)};
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
                                       copies, kept == Kept::BindMounted, meanwhile);
    if (!save.mounted)
        QSKIP("mounting a file onto itself takes a mount namespace of one's own");
    const bool written = !writeFails && kept != Kept::PlantedLink && kept != Kept::PlantedFolderLink
            && kept != Kept::PlantedFile && kept != Kept::PlantedFileGroupFolder
            && kept != Kept::NoCopyFolder;
    QVERIFY2(save.ok == written, qPrintable(save.reason));
    QCOMPARE(readFile(path), written ? entry + "\r\n" : old);
    QCOMPARE(readFile(victim), "victim\r\n"_ba);
    const struct stat after = statusOf(path);
    // Or replaced by a new file that took everything from the old.
    const QList<Kept> replaced = {Kept::DefaultAcl, Kept::FolderGroup, Kept::AttributeFlags,
                                  Kept::WriteOnlyFile, Kept::HiddenNameTaken};
    if (!replaced.contains(kept))
        QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_uid, before.st_uid);
    QCOMPARE(after.st_gid, before.st_gid);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_nlink, before.st_nlink);
    if (kept == Kept::HardLink || kept == Kept::NoCopyFolder)
        QCOMPARE(readFile(other), readFile(path));
    if (kept == Kept::NoCopyFolder)
        QVERIFY2(save.reason.contains(u"The safety copy could not be made"_s),
                 qPrintable(save.reason));
    if (kept == Kept::ExtendedAttribute)
        QCOMPARE(attributeOf(path), "kept"_ba);
    if (kept == Kept::DefaultAcl)
        QVERIFY(!hasAccessAcl(path));
    if (kept == Kept::PlantedLink || kept == Kept::PlantedFolderLink)
        QVERIFY2(save.reason.contains(u"link that another user made"_s), qPrintable(save.reason));
    if (kept == Kept::PlantedFile || kept == Kept::PlantedFileGroupFolder)
        QVERIFY2(save.reason.contains(u"belongs to another user"_s), qPrintable(save.reason));
    if (kept == Kept::AttributeFlags) {
        const int fd = ::open(file.constData(), O_RDONLY);
        int flags = 0;
        QCOMPARE(::ioctl(fd, FS_IOC_GETFLAGS, &flags), 0);
        ::close(fd);
        QVERIFY(flags & FS_NODUMP_FL);
    }
    // The link another program planted stays where it was put.
    if (kept == Kept::HiddenNameTaken) {
        const QStringList hidden =
                QDir(folder).entryList({u".*.new"_s}, QDir::Files | QDir::Hidden);
        QCOMPARE(hidden.size(), 1);
        QCOMPARE(statusOf(folder + u'/' + hidden.first()).st_ino, statusOf(victim).st_ino);
        QVERIFY(QFile::remove(folder + u'/' + hidden.first()));
    }
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), filesBefore);
    QCOMPARE(QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

// Should the program or the machine stop at any moment of a save that
// writes the file where it is, what is left tells what to do: either no
// copy is left and the file holds its old content, or one copy is left, the
// whole new list, and copying it over the file finishes the save.
void tst_ListFileWrite::stopDuringSave_data()
{
    // Whose flush the save is stopped in: the copy's, or the file's.
    QTest::addColumn<bool>("inCopy");

    QTest::newRow("stopped while the safety copy is flushed") << true;
    QTest::newRow("stopped while the file is flushed") << false;
}

void tst_ListFileWrite::stopDuringSave()
{
    QFETCH(bool, inCopy);
    if (!qEnvironmentVariable("LD_PRELOAD").contains(u"failcall"_s))
        QSKIP("needs lexivorn_failcall preloaded, as CTest runs this test");

    QTemporaryDir dir;
    // On a disk, as the copy must be: the temporary folder may be in memory.
    QTemporaryDir copies(QDir::currentPath() + u"/copies-XXXXXX"_s);
    const QString path = dir.filePath(u"list.txt"_s);
    const QByteArray old = "old\r\n"_ba.repeated(2000);
    QVERIFY(writeFile(path, old));
    // A second name makes the save write the file where it is.
    QCOMPARE(::link(QFile::encodeName(path).constData(),
                    QFile::encodeName(dir.filePath(u"other name.txt"_s)).constData()),
             0);
    const QString marker = dir.filePath(u"hold"_s);
    QVERIFY(writeFile(marker, {}));
    EntryList list(QLocale::c());
    QVERIFY(list.Add(QList<QByteArray>{"b", "a"}));

    const pid_t child = ::fork();
    if (child == 0) {
        const QString held = inCopy ? copies.filePath(u"x"_s) : path;
        const Settings set({"TMPDIR=" + QFile::encodeName(copies.path()),
                            "LEXIVORN_HOLD_CALL=fdatasync",
                            "LEXIVORN_HOLD_WHILE=" + QFile::encodeName(marker),
                            "LEXIVORN_FAIL_FILE=" + QFile::encodeName(held)});
        ::_exit(WriteListFile(path, list).ok() ? 0 : 1);
    }
    QTRY_VERIFY(QFile::exists(marker + u".held"_s));
    const QStringList named = filesIn(copies);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    QCOMPARE(filesIn(copies), named);
    if (inCopy) {
        QCOMPARE(named, QStringList());
        QCOMPARE(readFile(path), old);
    } else {
        QCOMPARE(named.size(), 1);
        QVERIFY2(named.first().startsWith(u"lexivorn-list.txt-"_s), qPrintable(named.first()));
        // As README says to.
        QVERIFY(writeFile(path, readFile(copies.filePath(named.first()))));
        QCOMPARE(readFile(path), "a\r\nb\r\n"_ba);
    }
}

QTEST_APPLESS_MAIN(tst_ListFileWrite)
#include "tst_listfilewrite.moc"
