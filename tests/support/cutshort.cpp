// Preloaded (LD_PRELOAD) into a program under test, it plays another program,
// or a file system, at work on the file LEXIVORN_CUT_FILE while it is read:
// - LEXIVORN_CUT_AT: a read that would pass this offset ends there, and the
//   file is then changed, once for each file named: LEXIVORN_CUT_TO cuts it
//   to that many bytes; else '#' is written over the bytes at the offsets of
//   LEXIVORN_REWRITE_AT (a comma-separated list), the file keeping its size.
//   LEXIVORN_KEEP_MTIME then sets its modification time back, as cp -p does.
//   With LEXIVORN_MAPPED the '#' go in through a shared mapping whose pages
//   were written, with what they held, when the file was first looked at:
//   the system stamps the file's times then, not when the '#' land, as with
//   a write whose data is copied after its times were set.
// - LEXIVORN_END_AT: reads end there, as where a file's stated size is stale.
// - LEXIVORN_FAIL_AT: reads from there on fail with EIO.
// - LEXIVORN_STATED_SIZE: the file states this size.
// - LEXIVORN_AGE: the file's times show this many milliseconds older.
// Reads at an offset (pread) are played as reads are. Every other call goes
// on as it would without it.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

namespace {

using ReadFunction = ssize_t (*)(int, void *, size_t);
using FstatFunction = int (*)(int, struct stat *);

std::mutex guard;
std::string changedFile; // the file changed last, which is not changed again
std::string mappedFile;
char *mapped = nullptr;

FstatFunction realFstat()
{
    static const auto next = reinterpret_cast<FstatFunction>(::dlsym(RTLD_NEXT, "fstat"));
    return next;
}

long long number(const char *name, long long otherwise = -1)
{
    const char *value = std::getenv(name);
    return value ? std::atoll(value) : otherwise;
}

std::vector<off_t> rewriteOffsets()
{
    std::vector<off_t> offsets;
    for (const char *at = std::getenv("LEXIVORN_REWRITE_AT"); at && *at;) {
        char *end = nullptr;
        offsets.push_back(off_t(std::strtoll(at, &end, 10)));
        at = *end == ',' ? end + 1 : end;
    }
    return offsets;
}

// The file under test, when `fd` is open on it.
const char *fileOf(int fd)
{
    const char *path = std::getenv("LEXIVORN_CUT_FILE");
    struct stat opened, named;
    if (!path || realFstat()(fd, &opened) != 0 || ::stat(path, &named) != 0
        || opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
        return nullptr;
    return path;
}

// Pages written with what they held: the system stamps the file's times now.
void mapOnFirstLook(const char *path)
{
    if (!std::getenv("LEXIVORN_MAPPED") || mappedFile == path)
        return;
    mappedFile = path;
    const int file = ::open(path, O_RDWR | O_CLOEXEC);
    struct stat status;
    if (file < 0 || realFstat()(file, &status) != 0)
        std::abort();
    mapped = static_cast<char *>(
            ::mmap(nullptr, size_t(status.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, file, 0));
    ::close(file);
    if (mapped == MAP_FAILED)
        std::abort();
    for (const off_t offset : rewriteOffsets())
        *static_cast<volatile char *>(mapped + offset) = mapped[offset];
}

// Until the clock that stamps files has moved past the file's last change,
// so that the change to come shows in its status time.
void waitPastLastChange(int file)
{
    struct stat status;
    if (realFstat()(file, &status) != 0)
        std::abort();
    const timespec millisecond{0, 1'000'000};
    for (int waited = 0; waited < 1000; ++waited) {
        timespec now;
        ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
        if (now.tv_sec > status.st_ctim.tv_sec
            || (now.tv_sec == status.st_ctim.tv_sec && now.tv_nsec > status.st_ctim.tv_nsec))
            return;
        ::nanosleep(&millisecond, nullptr);
    }
}

void change(const char *path)
{
    if (changedFile == path)
        return;
    changedFile = path;
    if (const long long cutTo = number("LEXIVORN_CUT_TO"); cutTo >= 0) {
        if (::truncate(path, off_t(cutTo)) != 0)
            std::abort();
        return;
    }
    if (std::getenv("LEXIVORN_MAPPED")) {
        for (const off_t offset : rewriteOffsets())
            mapped[offset] = '#';
        return;
    }
    const int file = ::open(path, O_WRONLY | O_CLOEXEC);
    struct stat before;
    if (file < 0 || realFstat()(file, &before) != 0)
        std::abort();
    const bool keepModified = std::getenv("LEXIVORN_KEEP_MTIME") != nullptr;
    if (keepModified)
        waitPastLastChange(file);
    for (const off_t offset : rewriteOffsets()) {
        if (::pwrite(file, "#", 1, offset) != 1)
            std::abort();
    }
    const timespec times[2] = {{0, UTIME_OMIT}, before.st_mtim};
    if (keepModified && ::futimens(file, times) != 0)
        std::abort();
    ::close(file);
}

void shiftBack(timespec &time, long long milliseconds)
{
    long long nanoseconds = time.tv_sec * 1'000'000'000LL + time.tv_nsec - milliseconds * 1'000'000;
    time.tv_sec = time_t(nanoseconds / 1'000'000'000);
    time.tv_nsec = long(nanoseconds % 1'000'000'000);
}

int lookedAt(int fd, struct stat *status)
{
    const char *path = fileOf(fd);
    if (!path)
        return realFstat()(fd, status);
    const std::lock_guard lock(guard);
    mapOnFirstLook(path);
    const int result = realFstat()(fd, status);
    if (result != 0)
        return result;
    if (const long long size = number("LEXIVORN_STATED_SIZE"); size >= 0)
        status->st_size = off_t(size);
    if (const long long age = number("LEXIVORN_AGE"); age > 0) {
        shiftBack(status->st_mtim, age);
        shiftBack(status->st_ctim, age);
    }
    return result;
}

// A read of `size` bytes at `at`, by `next`.
template<typename Read> ssize_t readAt(int fd, off_t at, size_t size, Read next)
{
    const char *path = fileOf(fd);
    if (!path)
        return next(size);
    const std::lock_guard lock(guard);
    const long long failAt = number("LEXIVORN_FAIL_AT");
    const long long endAt = number("LEXIVORN_END_AT");
    const long long cutAt = changedFile == path ? -1 : number("LEXIVORN_CUT_AT");
    if (failAt >= 0 && at >= failAt) {
        errno = EIO;
        return -1;
    }
    if (endAt >= 0 && at >= endAt)
        return 0;
    for (const long long border : {failAt, endAt, cutAt}) {
        if (border > at && at + off_t(size) > border)
            size = size_t(border - at);
    }
    const ssize_t got = next(size);
    if (got > 0 && cutAt >= 0 && at + got >= cutAt)
        change(path);
    return got;
}

} // namespace

extern "C" int fstat(int fd, struct stat *status)
{
    return lookedAt(fd, status);
}

extern "C" int fstat64(int fd, struct stat64 *status)
{
    static_assert(sizeof(struct stat) == sizeof(struct stat64));
    return lookedAt(fd, reinterpret_cast<struct stat *>(status));
}

extern "C" ssize_t read(int fd, void *buffer, size_t size)
{
    static const auto next = reinterpret_cast<ReadFunction>(::dlsym(RTLD_NEXT, "read"));
    return readAt(fd, ::lseek(fd, 0, SEEK_CUR), size,
                  [&](size_t wanted) { return next(fd, buffer, wanted); });
}

extern "C" ssize_t pread64(int fd, void *buffer, size_t size, off_t at)
{
    using PreadFunction = ssize_t (*)(int, void *, size_t, off_t);
    static const auto next = reinterpret_cast<PreadFunction>(::dlsym(RTLD_NEXT, "pread64"));
    return readAt(fd, at, size, [&](size_t wanted) { return next(fd, buffer, wanted, at); });
}

extern "C" ssize_t pread(int fd, void *buffer, size_t size, off_t at)
{
    return pread64(fd, buffer, size, at);
}
