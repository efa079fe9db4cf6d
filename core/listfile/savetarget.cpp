#include "savetarget.h"

#include "failurereasons.h"

#include <QFile>

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

// A name cut at its last slash: the folder as written, and the last
// component. A name without a slash lies in ".".
struct NameParts
{
    QByteArray folder;
    QByteArray name;
};

NameParts partsOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {QByteArrayLiteral("."), path};
    return {slash == 0 ? QByteArrayLiteral("/") : path.first(slash), path.sliced(slash + 1)};
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
    QByteArray path = QFile::encodeName(fileName);
    // The folder that `path` is relative to: at first the current folder,
    // then the folder of the last link read.
    FileDescriptor base;
    for (int links = 0;; ++links) {
        const NameParts parts = partsOf(path);
        // "x/", "x/." and "x/.." all name folders.
        if (parts.name.isEmpty() || parts.name == "." || parts.name == "..")
            return refused(fileTypeReason(S_IFDIR));
        FileDescriptor folder(::openat(base.isOpen() ? base.get() : AT_FDCWD,
                                       parts.folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        struct stat folderStatus;
        if (!folder.isOpen() || ::fstat(folder.get(), &folderStatus) != 0)
            return refused(systemReason(errno));

        struct stat status;
        if (::fstatat(folder.get(), parts.name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                return refused(systemReason(errno));
            // Nothing there yet: the save creates it, or says why not.
            SaveTarget target;
            target.folder = std::move(folder);
            target.name = parts.name;
            return target;
        }
        if (S_ISLNK(status.st_mode)) {
            if (links == maxLinks)
                return refused(systemReason(ELOOP));
            if (isPlantedLink(folderStatus, status))
                return refused(plantedLinkReason(parts.folder));
            path = linkText(folder.get(), parts.name);
            if (path.isEmpty())
                return refused(systemReason(errno != 0 ? errno : ENOENT));
            base = std::move(folder);
            continue;
        }
        if (const QString reason = fileTypeReason(status.st_mode); !reason.isEmpty())
            return refused(reason);

        // What is checked is what was opened: another file may have taken
        // the name since it was looked at, and a link there now is not
        // followed.
        SaveTarget target;
        target.file =
                FileDescriptor(::openat(folder.get(), parts.name.constData(),
                                        O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!target.file.isOpen() || ::fstat(target.file.get(), &target.status) != 0)
            return refused(systemReason(errno));
        if (const QString reason = fileTypeReason(target.status.st_mode); !reason.isEmpty())
            return refused(reason);
        if (isPlantedFile(folderStatus, target.status))
            return refused(plantedFileReason());
        target.folder = std::move(folder);
        target.name = parts.name;
        return target;
    }
}

} // namespace listfile
