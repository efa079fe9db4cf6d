#pragma once

#include "entryitems.h"
#include "entrylist/entrylist.h"
#include "listfile/listfile.h"
#include "testfiles.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// Files as the tests of reading and saving lists make and look at them.
namespace ListFileTest {

inline QStringList filesIn(const QTemporaryDir &dir)
{
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// How a save in a child process went: what WriteListFile said.
struct ChildSave
{
    bool ok = false;
    QString reason;
    // False when the file could not be mounted onto itself.
    bool mounted = true;
};

// Saves the list in a child process, as another user (uid and gid, when not
// -1) and under a file-size limit (when not 0), with TMPDIR set to
// `tempDir`: what a save changes of a file must not depend on who runs the
// tests, and a failed write must be tried. With `bindMounted`, the file is
// first mounted onto itself, in the child's own view of the mounts.
// `environment` ("NAME=value") is set in the child too.
inline ChildSave saveInChild(const QString &path, const core::EntryList &list, uid_t uid, gid_t gid,
                             rlim_t sizeLimit, const QString &tempDir, bool bindMounted = false,
                             const QList<QByteArray> &environment = {})
{
    ChildSave save;
    int reasonPipe[2];
    if (::pipe(reasonPipe) != 0)
        return save;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(reasonPipe[0]);
        ::setenv("TMPDIR", QFile::encodeName(tempDir).constData(), 1);
        for (const QByteArray &setting : environment)
            ::putenv(qstrdup(setting.constData()));
        const QByteArray file = QFile::encodeName(path);
        if (bindMounted
            && (::unshare(CLONE_NEWNS) != 0
                || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                || ::mount(file.constData(), file.constData(), nullptr, MS_BIND, nullptr) != 0))
            ::_exit(3);
        std::signal(SIGXFSZ, SIG_IGN);
        if (sizeLimit != 0) {
            const rlimit limit{sizeLimit, sizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if ((gid != gid_t(-1) && ::setgid(gid) != 0) || (uid != uid_t(-1) && ::setuid(uid) != 0))
            ::_exit(2);
        const listfile::FileResult result = listfile::WriteListFile(path, list);
        const QByteArray reason = result.reason().toUtf8();
        const bool written =
                ::write(reasonPipe[1], reason.constData(), size_t(reason.size())) == reason.size();
        ::_exit(result.ok() && written ? 0 : 1);
    }
    ::close(reasonPipe[1]);
    QByteArray reason;
    char buffer[1024];
    for (ssize_t got; (got = ::read(reasonPipe[0], buffer, sizeof buffer)) > 0;)
        reason.append(buffer, got);
    ::close(reasonPipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    save.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    save.mounted = !(WIFEXITED(status) && WEXITSTATUS(status) == 3);
    save.reason = QString::fromUtf8(reason);
    return save;
}

// Sets "NAME=value" settings for as long as it lives.
class Settings
{
public:
    explicit Settings(const QList<QByteArray> &settings)
        : m_settings(settings)
    {
        for (const QByteArray &setting : m_settings)
            qputenv(nameOf(setting), setting.sliced(setting.indexOf('=') + 1));
    }
    ~Settings()
    {
        for (const QByteArray &setting : m_settings)
            qunsetenv(nameOf(setting));
    }
    Q_DISABLE_COPY_MOVE(Settings)

private:
    static QByteArray nameOf(const QByteArray &setting)
    {
        return setting.left(setting.indexOf('='));
    }

    QList<QByteArray> m_settings;
};

} // namespace ListFileTest
