#include "listfilewriting.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#endif

namespace listfile {

namespace {

constexpr qint64 chunkSize = 64 * 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("ListFile", text);
}

QString reasonOf(const QFileDevice &file)
{
    return errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
}

// Copies all of `from`, from its start, over the start of `to`, and cuts `to`
// to that length. Returns why it failed, or nothing.
QString copyOver(QFileDevice &from, QFileDevice &to)
{
    errno = 0;
    if (!from.seek(0) || !to.seek(0))
        return reasonOf(from.error() != QFileDevice::NoError ? from : to);
    qint64 copied = 0;
    for (;;) {
        errno = 0;
        const QByteArray chunk = from.read(chunkSize);
        if (from.error() != QFileDevice::NoError)
            return reasonOf(from);
        if (chunk.isEmpty())
            break;
        if (to.write(chunk) != chunk.size())
            return reasonOf(to);
        copied += chunk.size();
    }
    errno = 0;
    if (!to.flush() || !to.resize(copied))
        return reasonOf(to);
    return {};
}

// Opened for reading and writing, not through a link: the name was resolved
// before, and a link put there since is not followed.
QString openTarget(QFile &file)
{
#ifdef Q_OS_UNIX
    const int fd =
            ::open(QFile::encodeName(file.fileName()).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return file.errorString();
#else
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return file.errorString();
#endif
    return {};
}

} // namespace

QString writeInPlace(const QString &path, const EntryList &list)
{
    QFile target(path);
    if (const QString reason = openTarget(target); !reason.isEmpty())
        return reason;

    // The copy is named, so that it can be found should the program die
    // while the file is written; it is removed once it is not needed.
    QTemporaryFile aside(QDir::tempPath() % u"/lexivorn-old-XXXXXX.txt");
    if (!aside.open())
        return tr("The old content could not be copied aside first: %1").arg(aside.errorString());
    if (const QString reason = copyOver(target, aside); !reason.isEmpty())
        return tr("The old content could not be copied aside first: %1").arg(reason);

    errno = 0;
    QString reason = target.seek(0) ? writeEntries(target, list) : reasonOf(target);
    if (reason.isEmpty()) {
        errno = 0;
        if (target.resize(target.pos()))
            return {};
        reason = reasonOf(target);
    }
    if (const QString restoreFailure = copyOver(aside, target); !restoreFailure.isEmpty()) {
        aside.setAutoRemove(false);
        return tr("%1. The old content could not be put back (%2); it is kept in %3.")
                .arg(reason, restoreFailure, QDir::toNativeSeparators(aside.fileName()));
    }
    return reason;
}

} // namespace listfile
