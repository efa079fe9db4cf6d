#include "savetarget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/xattr.h>
#endif

namespace listfile {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ListFile", text);
}

#ifdef Q_OS_UNIX

// As the system counts them: a name that takes more links than this is a loop.
constexpr int maxLinks = 40;

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The kernel's protected_symlinks rule.
bool plantedByAnother(const QString &link, const struct stat &linkStatus)
{
    struct stat folder;
    if (::stat(encoded(QFileInfo(link).absolutePath()).constData(), &folder) != 0)
        return false;
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return shared && linkStatus.st_uid != ::geteuid() && linkStatus.st_uid != folder.st_uid;
}

// The SELinux label does not count: every file has one where SELinux runs,
// and a new file in the same folder gets the same by the system's rules.
bool hasExtendedAttributes(const QString &path)
{
#ifdef Q_OS_LINUX
    const QByteArray name = encoded(path);
    const ssize_t size = ::listxattr(name.constData(), nullptr, 0);
    if (size <= 0)
        return false;
    QByteArray names(size, '\0');
    const ssize_t got = ::listxattr(name.constData(), names.data(), size_t(names.size()));
    if (got < 0)
        return true; // more were added meanwhile
    names.truncate(got);
    const QList<QByteArray> attributes = names.split('\0');
    return std::any_of(attributes.begin(), attributes.end(), [](const QByteArray &attribute) {
        return !attribute.isEmpty() && attribute != "security.selinux";
    });
#else
    Q_UNUSED(path);
    return false;
#endif
}

// The group a new file in the folder would get.
gid_t newFileGroup(const QString &path)
{
    struct stat folder;
    if (::stat(encoded(QFileInfo(path).absolutePath()).constData(), &folder) == 0
        && (folder.st_mode & S_ISGID))
        return folder.st_gid;
    return ::getegid();
}

#endif

} // namespace

SaveTarget findSaveTarget(const QString &fileName)
{
    SaveTarget target;
    target.path = QFileInfo(fileName).absoluteFilePath();
#ifdef Q_OS_UNIX
    struct stat status;
    for (int links = 0;; ++links) {
        if (::lstat(encoded(target.path).constData(), &status) != 0)
            return target; // nothing there yet; creating it says why not, if it fails
        if (!S_ISLNK(status.st_mode))
            break;
        if (links == maxLinks) {
            target.refusal = QString::fromLocal8Bit(std::strerror(ELOOP));
            return target;
        }
        if (plantedByAnother(target.path, status)) {
            target.refusal =
                    tr("The name is a link that another user made in a shared folder "
                       "(%1). Saving through it could overwrite a file of their "
                       "choosing, so this program does not follow it.")
                            .arg(QDir::toNativeSeparators(QFileInfo(target.path).absolutePath()));
            return target;
        }
        char buffer[4096];
        const ssize_t length =
                ::readlink(encoded(target.path).constData(), buffer, sizeof buffer - 1);
        if (length < 0)
            return target;
        const QString next = QFile::decodeName(QByteArray(buffer, length));
        target.path = QDir::cleanPath(QFileInfo(target.path).dir().absoluteFilePath(next));
    }
    target.exists = true;
    target.keepInPlace = status.st_nlink > 1 || status.st_uid != ::geteuid()
            || status.st_gid != newFileGroup(target.path) || hasExtendedAttributes(target.path);
#else
    target.exists = QFileInfo::exists(target.path);
#endif
    return target;
}

} // namespace listfile
