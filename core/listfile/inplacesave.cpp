#include "failurereasons.h"
#include "listfilewriting.h"
#include "savetarget.h"

#include <QByteArray>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <unistd.h>

namespace listfile {

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

// Where the copy of the old content goes: $TMPDIR, or else /var/tmp, which
// outlives a restart where /tmp may not.
QByteArray copyFolder()
{
    const QByteArray folder = qgetenv("TMPDIR");
    return folder.isEmpty() ? QByteArrayLiteral("/var/tmp") : folder;
}

// Copies all of `from`, from its start, over the start of `to`, cuts `to`
// to that length and makes it last. Returns why it failed, or nothing.
QString copyOver(int from, int to)
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
    return syncData(to);
}

// The old content, in a file of its own that only the person saving may
// read, named after the file ("lexivorn-list.txt-AbC123"), so that it can be
// found should the program or the machine stop while the file is written.
class SafetyCopy
{
public:
    SafetyCopy() = default;
    SafetyCopy(const SafetyCopy &) = delete;
    SafetyCopy &operator=(const SafetyCopy &) = delete;
    // Kept only when it is the one place the old content is left.
    ~SafetyCopy()
    {
        if (!m_kept && !m_path.isEmpty())
            ::unlink(m_path.constData());
    }

    const QByteArray &path() const { return m_path; }
    void keep() { m_kept = true; }

    // Returns why the copy could not be made, or nothing.
    QString make(int file, const QByteArray &name)
    {
        const QByteArray folder = copyFolder();
        QByteArray pattern = folder + "/lexivorn-" + name.left(120) + "-XXXXXX";
        m_fd = FileDescriptor(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!m_fd.isOpen())
            return systemReason(errno);
        m_path = pattern;
        if (const QString reason = copyOver(file, m_fd.get()); !reason.isEmpty())
            return reason;
        // The copy stays open to be read back from: its name could be given
        // to another file meanwhile. Closing a second descriptor tells
        // whether it was written.
        FileDescriptor check(::dup(m_fd.get()));
        if (!check.isOpen() || !check.close())
            return systemReason(errno);
        const FileDescriptor copies(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        return copies.isOpen() ? syncFolder(copies.get()) : systemReason(errno);
    }

    // Returns why the old content could not be put back, or nothing.
    QString putBack(int file) const { return copyOver(m_fd.get(), file); }

private:
    QByteArray m_path;
    FileDescriptor m_fd;
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

} // namespace

QString writeInPlace(SaveTarget &target, const EntryList &list)
{
    SafetyCopy copy;
    if (const QString reason = copy.make(target.file.get(), target.name); !reason.isEmpty())
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
    if (reason.isEmpty())
        return {};
    QString restoreFailure = copy.putBack(spare.get());
    if (restoreFailure.isEmpty() && !spare.close())
        restoreFailure = systemReason(errno);
    if (!restoreFailure.isEmpty()) {
        copy.keep();
        return oldContentKeptReason(reason, restoreFailure, copy.path());
    }
    return reason;
}

} // namespace listfile
