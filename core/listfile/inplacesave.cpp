#include "failurereasons.h"
#include "listfilewriting.h"
#include "savetarget.h"

#include <QByteArray>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/magic.h>
#include <new>
#include <sys/vfs.h>
#include <unistd.h>

namespace listfile {

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

// Whether the folder's files live in memory alone, and a power cut takes them.
bool isInMemory(const QByteArray &folder)
{
    struct statfs fileSystem;
    return ::statfs(folder.constData(), &fileSystem) == 0
            && (fileSystem.f_type == TMPFS_MAGIC || fileSystem.f_type == RAMFS_MAGIC);
}

// Where the safety copy goes: $TMPDIR, unless it lives in memory (tmpfs),
// else /var/tmp, which outlives a restart where /tmp may not.
QByteArray copyFolder()
{
    const QByteArray folder = qgetenv("TMPDIR");
    return folder.isEmpty() || isInMemory(folder) ? QByteArrayLiteral("/var/tmp") : folder;
}

// Six letters or digits, as mkstemp() puts in a name.
QByteArray randomSuffix()
{
    static constexpr char letters[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray suffix(6, Qt::Uninitialized);
    for (char &letter : suffix)
        letter = letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return suffix;
}

// Copies all of `from`, from its start, over the start of `to` and cuts `to`
// to that length; with `flush`, makes it last. Returns why it failed, or
// nothing.
QString copyOver(int from, int to, bool flush)
{
    if (::lseek(to, 0, SEEK_SET) < 0)
        return systemReason(errno);
    QByteArray chunk(chunkSize, Qt::Uninitialized);
    off_t copied = 0;
    for (;;) {
        const ssize_t got = ::pread(from, chunk.data(), size_t(chunk.size()), copied);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return systemReason(errno);
        if (got == 0)
            break;
        if (const QString reason = writeAll(to, QByteArrayView(chunk).first(got));
            !reason.isEmpty())
            return reason;
        copied += got;
    }
    if (::ftruncate(to, copied) != 0)
        return systemReason(errno);
    return flush ? syncData(to) : QString();
}

// A file of the person saving alone in the copy folder, made with no name
// (O_TMPFILE), so that nothing of it shows should the program stop before
// it is named. Where the file system makes no such files, it is made under
// a hidden name beside the one it is to take, and renamed to that.
class CopyFile
{
public:
    CopyFile(int folder, const QByteArray &name)
        : m_folder(folder)
        , m_name(name)
    { }
    CopyFile(const CopyFile &) = delete;
    CopyFile &operator=(const CopyFile &) = delete;
    // A copy that was not kept goes.
    ~CopyFile()
    {
        if (!m_kept && !m_path.isEmpty())
            ::unlinkat(m_folder, m_path.constData(), 0);
    }

    int fd() const { return m_fd.get(); }
    // Its name in the copy folder, once it has one.
    const QByteArray &path() const { return m_path; }
    void keep() { m_kept = true; }

    // Returns the errno value of a failure, or 0.
    int create()
    {
        m_fd = FileDescriptor(::openat(m_folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
        if (m_fd.isOpen())
            return 0;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray hidden = '.' + m_name + '-' + randomSuffix() + ".part";
            m_fd = FileDescriptor(::openat(m_folder, hidden.constData(),
                                           O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                           0600));
            if (m_fd.isOpen()) {
                m_path = hidden;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    // Gives the copy its name, "NAME-XXXXXX", never one another file has.
    // Returns the errno value of a failure, or 0.
    int name()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray named = m_name + '-' + randomSuffix();
            if (m_path.isEmpty() ? linkUnnamed(m_fd.get(), m_folder, named)
                                 : ::renameat2(m_folder, m_path.constData(), m_folder,
                                               named.constData(), RENAME_NOREPLACE)
                                == 0) {
                m_path = named;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

private:
    const int m_folder;
    const QByteArray m_name;
    FileDescriptor m_fd;
    QByteArray m_path;
    bool m_kept = false;
};

// Writes the list over the file's content and cuts what is left of the old,
// makes it last and closes the file. Returns why it failed, or nothing.
QString writeOver(FileDescriptor &file, const EntryList &list)
{
    if (::lseek(file.get(), 0, SEEK_SET) < 0)
        return systemReason(errno);
    qint64 written = 0;
    if (const QString reason = writeEntries(file.get(), list, written); !reason.isEmpty())
        return reason;
    if (::ftruncate(file.get(), written) != 0)
        return systemReason(errno);
    if (const QString reason = syncData(file.get()); !reason.isEmpty())
        return reason;
    if (!file.close())
        return systemReason(errno);
    return {};
}

// The safety copy: the list, whole and on disk under its name
// ("lexivorn-list.txt-AbC123") before the file is touched. Returns why it
// could not be made, or nothing.
QString makeSafetyCopy(CopyFile &copy, int folder, const EntryList &list)
{
    if (const int error = copy.create(); error != 0)
        return systemReason(error);
    qint64 written = 0;
    if (QString reason = writeEntries(copy.fd(), list, written); !reason.isEmpty())
        return reason;
    if (QString reason = syncData(copy.fd()); !reason.isEmpty())
        return reason;
    if (const int error = copy.name(); error != 0)
        return systemReason(error);
    return syncFolder(folder);
}

} // namespace

QString writeInPlace(SaveTarget &target, const EntryList &list)
{
    const QByteArray folderPath = copyFolder();
    const FileDescriptor folder(::open(folderPath.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        return copyAsideReason(systemReason(errno));
    // The owner's file of mode 0200 may be written but not read: its old
    // content could not be put back.
    if (!target.readable)
        return copyAsideReason(systemReason(EACCES));
    const QByteArray name = "lexivorn-" + target.name.left(120);
    // The old content needs no name and no flush: it serves only while the
    // program runs, should the write fail.
    CopyFile old(folder.get(), name + "-old");
    if (const int error = old.create(); error != 0)
        return copyAsideReason(systemReason(error));
    if (const QString reason = copyOver(target.file.get(), old.fd(), false); !reason.isEmpty())
        return copyAsideReason(reason);
    CopyFile copy(folder.get(), name);
    if (const QString reason = makeSafetyCopy(copy, folder.get(), list); !reason.isEmpty())
        return copyAsideReason(reason);
    // A failed close still leaves a way to put the old content back.
    FileDescriptor spare(::dup(target.file.get()));
    if (!spare.isOpen())
        return systemReason(errno);

    QString reason;
    try {
        reason = writeOver(target.file, list);
    } catch (const std::bad_alloc &) {
        reason = outOfMemoryReason();
    }
    if (reason.isEmpty()) {
        // The file holds the list: the copy has done its work. A copy that
        // came back after a crash would be the same list.
        ::unlinkat(folder.get(), copy.path().constData(), 0);
        copy.keep();
        syncFolder(folder.get());
        return {};
    }
    QString restoreFailure = copyOver(old.fd(), spare.get(), true);
    if (restoreFailure.isEmpty() && !spare.close())
        restoreFailure = systemReason(errno);
    if (restoreFailure.isEmpty())
        return reason;
    // The old content is kept where it can be found, and the copy of the
    // list goes, so that nothing tells to copy it over.
    if (const int error = old.name(); error != 0)
        return oldContentLostReason(reason, restoreFailure, systemReason(error));
    old.keep();
    syncFolder(folder.get());
    return oldContentKeptReason(reason, restoreFailure, folderPath + '/' + old.path());
}

} // namespace listfile
