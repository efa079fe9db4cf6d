#include "memoryreach.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <algorithm>
#include <limits>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace listfile {

namespace {

constexpr qint64 unlimited = std::numeric_limits<qint64>::max();

#ifdef Q_OS_UNIX

QByteArray readSmallFile(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The number after `name` in "name value" lines (/proc/meminfo uses
// "Name:  value kB"), or -1.
qint64 fieldOf(const QByteArray &text, QByteArrayView name)
{
    for (const QByteArray &line : text.split('\n')) {
        if (!line.startsWith(name))
            continue;
        const QList<QByteArray> words = line.sliced(name.size()).simplified().split(' ');
        bool ok = false;
        const qint64 value = words.value(0).toLongLong(&ok);
        return ok ? value : -1;
    }
    return -1;
}

qint64 numberIn(const QString &fileName)
{
    bool ok = false;
    const qint64 value = readSmallFile(fileName).trimmed().toLongLong(&ok);
    return ok ? value : -1;
}

// What a resource limit leaves, given the pages of /proc/self/statm field
// `field` in use (0: the whole address space, 5: data and stack).
qint64 roomUnderLimit(int resource, int field)
{
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return unlimited;
    const QList<QByteArray> pages = readSmallFile(QStringLiteral("/proc/self/statm")).split(' ');
    const qint64 used = pages.value(field).toLongLong() * sysconf(_SC_PAGESIZE);
    const auto cap = qint64(std::min<rlim_t>(limit.rlim_cur, rlim_t(unlimited)));
    return std::max<qint64>(cap - used, 0);
}

// MemAvailable already counts the page cache that can be given back.
qint64 roomInSystem()
{
    const QByteArray meminfo = readSmallFile(QStringLiteral("/proc/meminfo"));
    const qint64 available = fieldOf(meminfo, "MemAvailable:");
    if (available < 0)
        return unlimited;
    return (available + std::max<qint64>(fieldOf(meminfo, "SwapFree:"), 0)) * 1024;
}

// The least room left by the memory limits of the process's control group
// and the groups above it, for cgroup v2 ("0::/path") and v1 ("n:memory:/path").
// Cached file pages count as used but are given back under pressure.
// Inside a container the group's path may not show under /sys/fs/cgroup;
// the levels that do show are read.
qint64 roomInControlGroup()
{
    qint64 room = unlimited;
    const QByteArray groups = readSmallFile(QStringLiteral("/proc/self/cgroup"));
    for (const QByteArray &line : groups.split('\n')) {
        const QList<QByteArray> parts = line.split(':');
        if (parts.size() != 3)
            continue;
        const bool v2 = parts[0] == "0" && parts[1].isEmpty();
        if (!v2 && !parts[1].split(',').contains("memory"))
            continue;
        const QString mount =
                v2 ? QStringLiteral("/sys/fs/cgroup") : QStringLiteral("/sys/fs/cgroup/memory");
        QString path = QString::fromUtf8(parts[2]);
        for (;;) {
            const QString dir = mount + path;
            const qint64 limit = numberIn(dir
                                          + (v2 ? QStringLiteral("/memory.max")
                                                : QStringLiteral("/memory.limit_in_bytes")));
            const qint64 used = numberIn(dir
                                         + (v2 ? QStringLiteral("/memory.current")
                                               : QStringLiteral("/memory.usage_in_bytes")));
            if (limit >= 0 && used >= 0) {
                const QByteArray stat = readSmallFile(dir + QStringLiteral("/memory.stat"));
                const qint64 cached = fieldOf(stat, v2 ? "file " : "total_cache ");
                room = std::min(room,
                                std::max<qint64>(limit - used + std::max<qint64>(cached, 0), 0));
            }
            if (path.isEmpty() || path == u"/")
                break;
            path.truncate(std::max<qsizetype>(path.lastIndexOf(u'/'), 0));
        }
    }
    return room;
}

#endif

} // namespace

qint64 memoryWithinReach()
{
#ifdef Q_OS_UNIX
    return std::min({roomUnderLimit(RLIMIT_AS, 0), roomUnderLimit(RLIMIT_DATA, 5), roomInSystem(),
                     roomInControlGroup()});
#else
    return unlimited;
#endif
}

} // namespace listfile
