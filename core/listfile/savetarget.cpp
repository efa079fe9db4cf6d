#include "savetarget.h"

#include "failurereasons.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace listfile {

namespace {

// As the system counts them: a name that takes more links than this is a loop.
constexpr int maxLinks = 40;

// A folder that keeps its files to their owners (sticky), and that others
// may write to, such as /tmp.
bool isSharedSticky(const struct stat &folder, mode_t othersMayWrite)
{
    return (folder.st_mode & S_ISVTX) && (folder.st_mode & othersMayWrite);
}

// The system's protected_symlinks rule: in a sticky folder everyone may
// write, a link is followed only for the person who made it or when the
// folder's owner made it.
bool isPlantedLink(const struct stat &folder, const struct stat &link)
{
    return isSharedSticky(folder, S_IWOTH) && link.st_uid != ::geteuid()
            && link.st_uid != folder.st_uid;
}

// The system's protected_regular rule, in its stricter form that counts
// folders its group may write too: a file there that belongs neither to the
// person saving nor to the folder's owner may have been put there to catch
// what is written into it.
bool isPlantedFile(const struct stat &folder, const struct stat &file)
{
    return isSharedSticky(folder, S_IWOTH | S_IWGRP) && file.st_uid != ::geteuid()
            && file.st_uid != folder.st_uid;
}

// The components of a name still to be walked, the next one last. A name
// that ends in a slash names a folder, as if "." followed it.
void pushComponents(const QByteArray &path, QList<QByteArray> &pending)
{
    if (path.endsWith('/'))
        pending.append(QByteArrayLiteral("."));
    const QList<QByteArray> components = path.split('/');
    for (auto component = components.rbegin(); component != components.rend(); ++component) {
        if (!component->isEmpty())
            pending.append(*component);
    }
}

FileDescriptor openFolder(int folder, const char *name)
{
    return FileDescriptor(::openat(folder, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The text of a link, or why it cannot be read. A link's text is shorter
// than PATH_MAX; an empty one leads nowhere, as the system has it.
QString readLink(int folder, const QByteArray &name, QByteArray &text)
{
    text = QByteArray(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(folder, name.constData(), text.data(), size_t(text.size()));
    if (length < 0)
        return systemReason(errno);
    text.truncate(length);
    return text.isEmpty() ? systemReason(ENOENT) : QString();
}

// Links in /proc stand for an object, whatever their text says: "/" for
// another process's root, "/list.txt (deleted)" for a file that has no name
// left. The system follows them to that object.
bool isProcFolder(int folder)
{
    constexpr decltype(statfs::f_type) procMagic = 0x9fa0;
    struct statfs fileSystem;
    return ::fstatfs(folder, &fileSystem) == 0 && fileSystem.f_type == procMagic;
}

// Opens the existing file for the save: for reading and writing, or only
// for writing where its mode lets its owner do no more.
FileDescriptor openFileToSave(int folder, const char *name, int how, bool &readable)
{
    constexpr int flags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    FileDescriptor file(::openat(folder, name, O_RDWR | how | flags));
    readable = file.isOpen() || errno != EACCES;
    if (!readable)
        file = FileDescriptor(::openat(folder, name, O_WRONLY | how | flags));
    return file;
}

SaveTarget refused(const QString &reason)
{
    SaveTarget target;
    target.refusal = reason;
    return target;
}

// The file a link under /proc stands for, opened by the system's own
// following of it; it is written where it is.
SaveTarget openObject(int folder, const QByteArray &name)
{
    // What it stands for is looked at first, so that no device or pipe is
    // opened at all.
    struct stat object;
    if (::fstatat(folder, name.constData(), &object, 0) != 0)
        return refused(systemReason(errno));
    if (const QString reason = fileTypeReason(object.st_mode); !reason.isEmpty())
        return refused(reason);
    SaveTarget target;
    target.reachedByObject = true;
    target.name = name;
    target.file = openFileToSave(folder, name.constData(), 0, target.readable);
    if (!target.file.isOpen() || ::fstat(target.file.get(), &target.status) != 0)
        return refused(systemReason(errno));
    if (const QString reason = fileTypeReason(target.status.st_mode); !reason.isEmpty())
        return refused(reason);
    if (target.status.st_nlink == 0)
        return refused(deletedFileReason());
    return target;
}

} // namespace

SaveTarget openSaveTarget(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    // The system takes no longer name in one piece, so Open could not read
    // the file back by it.
    if (path.size() >= PATH_MAX)
        return refused(tooLongNameReason());
    QList<QByteArray> pending;
    pushComponents(path, pending);
    if (pending.isEmpty())
        return refused(fileTypeReason(S_IFDIR));
    FileDescriptor folder = openFolder(AT_FDCWD, path.startsWith('/') ? "/" : ".");
    // The folder as the name and its links spelled it, for messages.
    QByteArray walked = path.startsWith('/') ? QByteArrayLiteral("/") : QByteArray();
    int links = 0;
    while (!pending.isEmpty()) {
        const QByteArray name = pending.takeLast();
        const bool last = pending.isEmpty();
        struct stat folderStatus;
        if (!folder.isOpen() || ::fstat(folder.get(), &folderStatus) != 0)
            return refused(systemReason(errno));
        if (name == "." || name == "..") {
            if (last)
                return refused(fileTypeReason(S_IFDIR));
            if (name == "..") {
                folder = openFolder(folder.get(), "..");
                walked += "../";
            }
            continue;
        }

        struct stat status;
        if (::fstatat(folder.get(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT || !last)
                return refused(systemReason(errno));
            // Nothing there yet: the save creates it, or says why not. A
            // folder that was deleted keeps no new file.
            if (folderStatus.st_nlink == 0)
                return refused(deletedFolderReason());
            SaveTarget target;
            target.folder = std::move(folder);
            target.name = name;
            return target;
        }
        if (S_ISLNK(status.st_mode)) {
            if (++links > maxLinks)
                return refused(systemReason(ELOOP));
            if (isPlantedLink(folderStatus, status))
                return refused(
                        plantedLinkReason(walked.isEmpty() ? QByteArrayLiteral(".") : walked));
            if (isProcFolder(folder.get())) {
                if (last)
                    return openObject(folder.get(), name);
                folder = FileDescriptor(
                        ::openat(folder.get(), name.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
                walked += name + '/';
                continue;
            }
            QByteArray text;
            if (const QString reason = readLink(folder.get(), name, text); !reason.isEmpty())
                return refused(reason);
            pushComponents(text, pending);
            if (text.startsWith('/')) {
                folder = openFolder(AT_FDCWD, "/");
                walked = "/";
            }
            continue;
        }
        if (!last) {
            if (!S_ISDIR(status.st_mode))
                return refused(systemReason(ENOTDIR));
            // A link put there since it was looked at is not followed.
            folder = openFolder(folder.get(), name.constData());
            walked += name + '/';
            continue;
        }
        if (const QString reason = fileTypeReason(status.st_mode); !reason.isEmpty())
            return refused(reason);

        // What is checked is what was opened: another file may have taken
        // the name since it was looked at, and a link there now is not
        // followed.
        SaveTarget target;
        target.file = openFileToSave(folder.get(), name.constData(), O_NOFOLLOW, target.readable);
        if (!target.file.isOpen())
            return refused(errno == ELOOP ? nameChangedReason() : systemReason(errno));
        if (::fstat(target.file.get(), &target.status) != 0)
            return refused(systemReason(errno));
        if (const QString reason = fileTypeReason(target.status.st_mode); !reason.isEmpty())
            return refused(reason);
        if (isPlantedFile(folderStatus, target.status))
            return refused(plantedFileReason());
        target.folder = std::move(folder);
        target.name = name;
        return target;
    }
    return refused(fileTypeReason(S_IFDIR)); // a link to "." or to "/"
}

} // namespace listfile
