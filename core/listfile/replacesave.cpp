#include "failurereasons.h"
#include "listfilewriting.h"
#include "savetarget.h"

#include <QList>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace listfile {

namespace {

// The names of the file's extended attributes, its SELinux label left out:
// every file has one where SELinux runs, and a new file in the same folder
// gets the same by the system's rules.
QList<QByteArray> attributesOf(int fd, bool &listed)
{
    listed = true;
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0) {
        listed = size == 0 || errno == ENOTSUP;
        return {};
    }
    QByteArray names(size, '\0');
    const ssize_t got = ::flistxattr(fd, names.data(), size_t(names.size()));
    if (got < 0) {
        listed = false; // more were added meanwhile
        return {};
    }
    names.truncate(got);
    QList<QByteArray> attributes = names.split('\0');
    attributes.removeIf([](const QByteArray &attribute) {
        return attribute.isEmpty() || attribute == "security.selinux";
    });
    return attributes;
}

// A hidden name beside the file, for a new file on its way to the file's
// place.
QByteArray temporaryName(const QByteArray &name)
{
    return '.' + name.left(200) + '.'
            + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".new";
}

// A new file in the folder, removed again unless it is kept.
struct NewFile
{
    FileDescriptor fd;
    int folder = -1;
    // Empty while the file has no name.
    QByteArray name;
    bool kept = false;

    NewFile() = default;
    NewFile(const NewFile &) = delete;
    NewFile &operator=(const NewFile &) = delete;
    ~NewFile()
    {
        if (!kept && !name.isEmpty())
            ::unlinkat(folder, name.constData(), 0);
    }
};

// Unnamed (O_TMPFILE) where the file system makes such files, so that
// nothing is left behind should the program stop; else under a hidden name.
// Returns the errno value of a failure, or 0.
int createNewFile(int folder, const QByteArray &name, NewFile &file)
{
    file.folder = folder;
    file.fd = FileDescriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (file.fd.isOpen())
        return 0;
    const int unnamedError = errno;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
        const QByteArray hidden = temporaryName(name);
        file.fd = FileDescriptor(::openat(folder, hidden.constData(),
                                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                          0666));
        if (file.fd.isOpen()) {
            file.name = hidden;
            return 0;
        }
        error = errno;
    }
    // Folders of the system's own, such as /proc, refuse a named file as
    // "No such file or directory" though the folder is there; the unnamed
    // attempt gave the true reason.
    return error == ENOENT && unnamedError != ENOENT ? unnamedError : error;
}

// Gives the unnamed file a name in its folder.
bool giveName(NewFile &file, const QByteArray &name)
{
    if (!linkUnnamed(file.fd.get(), file.folder, name))
        return false;
    file.name = name;
    return true;
}

// The attribute flags a person sets with chattr (nodump, noatime, no
// copy-on-write and the like), which a new file does not take by itself.
constexpr int personalFlags =
        FS_FL_USER_MODIFIABLE | FS_JOURNAL_DATA_FL | FS_NOCOW_FL | FS_NOCOMP_FL;

// A file system that keeps no such flags has none.
bool flagsOf(int fd, int &flags)
{
    flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 || errno == ENOTTY || errno == ENOTSUP
            || errno == EINVAL;
}

// Gives the new file the old one's attribute flags; false where they cannot
// all be given (some take a privilege).
bool takeFlags(int fd, int old)
{
    int oldFlags = 0;
    int flags = 0;
    if (!flagsOf(old, oldFlags) || !flagsOf(fd, flags))
        return false;
    if ((flags & personalFlags) == (oldFlags & personalFlags))
        return true;
    int wanted = (flags & ~personalFlags) | (oldFlags & personalFlags);
    return ::ioctl(fd, FS_IOC_SETFLAGS, &wanted) == 0 && flagsOf(fd, flags)
            && (flags & personalFlags) == (oldFlags & personalFlags);
}

// Gives the new file what the old one was: no extended attributes (the old
// had none, or it would be written in place), its group, its owner and its
// mode. A folder's default ACL would otherwise give others access they did
// not have. The set-user and set-group bits go, as a write drops them.
bool takeIdentity(int fd, const struct stat &old)
{
    bool listed = false;
    const QList<QByteArray> attributes = attributesOf(fd, listed);
    if (!listed)
        return false;
    for (const QByteArray &attribute : attributes) {
        if (::fremovexattr(fd, attribute.constData()) != 0)
            return false;
    }
    struct stat made;
    if (::fstat(fd, &made) != 0)
        return false;
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid)
        && ::fchown(fd, made.st_uid != old.st_uid ? old.st_uid : uid_t(-1),
                    made.st_gid != old.st_gid ? old.st_gid : gid_t(-1))
                != 0)
        return false;
    return ::fchmod(fd, old.st_mode & 0777) == 0;
}

} // namespace

bool replacingWouldChangeIt(const SaveTarget &target)
{
    if (!target.exists())
        return false;
    bool listed = false;
    return target.status.st_nlink > 1 || target.status.st_uid != ::geteuid()
            || !attributesOf(target.file.get(), listed).isEmpty() || !listed;
}

QString replaceFile(SaveTarget &target, const EntryList &list, bool &inPlaceInstead)
{
    NewFile file;
    if (const int error = createNewFile(target.folder.get(), target.name, file); error != 0) {
        // A folder that takes no new file may still let its file be written.
        inPlaceInstead = target.exists();
        return systemReason(error);
    }
    if (target.exists()
        && (!takeIdentity(file.fd.get(), target.status)
            || !takeFlags(file.fd.get(), target.file.get()))) {
        inPlaceInstead = true;
        return {};
    }
    qint64 written = 0;
    if (QString reason = writeEntries(file.fd.get(), list, written); !reason.isEmpty())
        return reason;
    if (QString reason = syncData(file.fd.get()); !reason.isEmpty())
        return reason;
    // A new name is taken at once, and never from a file that appeared
    // meanwhile; an old one is replaced by renaming, since a link replaces
    // nothing.
    if (file.name.isEmpty()
        && !giveName(file, target.exists() ? temporaryName(target.name) : target.name)) {
        // Without /proc an unnamed file cannot be given a name.
        inPlaceInstead = target.exists();
        return systemReason(errno);
    }
    if (!file.fd.close())
        return systemReason(errno);
    if (file.name != target.name
        && ::renameat(target.folder.get(), file.name.constData(), target.folder.get(),
                      target.name.constData())
                != 0) {
        // A file mounted over another name (a bind mount) cannot be renamed
        // over, but can be written where it is.
        inPlaceInstead = errno == EBUSY && target.exists();
        return systemReason(errno);
    }
    file.kept = true;
    return {};
}

} // namespace listfile
