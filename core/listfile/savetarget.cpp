#include "savetarget.h"

#include "failurereasons.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <climits>
#include <fcntl.h>
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

QByteArray linkText(int folder, const QByteArray &name)
{
    errno = 0;
    QByteArray text(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlinkat(folder, name.constData(), text.data(), size_t(text.size()));
    if (length < 0)
        return {};
    text.truncate(length);
    return text;
}

SaveTarget refused(const QString &reason)
{
    SaveTarget target;
    target.refusal = reason;
    return target;
}

} // namespace

SaveTarget openSaveTarget(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
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
            // Nothing there yet: the save creates it, or says why not.
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
            const QByteArray text = linkText(folder.get(), name);
            if (text.isEmpty())
                return refused(systemReason(errno != 0 ? errno : ENOENT));
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
        target.file =
                FileDescriptor(::openat(folder.get(), name.constData(),
                                        O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!target.file.isOpen() || ::fstat(target.file.get(), &target.status) != 0)
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
