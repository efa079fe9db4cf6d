// Preloaded (LD_PRELOAD) into a program under test, it plays a failing disk,
// a slow one, or another program at work beside a save of the file
// LEXIVORN_FAIL_FILE. A call counts as on that file when it works on the
// file itself or on a file opened for writing in the same folder (a new file
// on its way to the file's place, a copy), or on that folder itself.
// - LEXIVORN_FAIL_CALL: the first call of fdatasync, fsync, close, renameat,
//   readlinkat or O_TMPFILE (an openat that makes an unnamed file) on the
//   file fails: with EIO, as on a disk that fails only when data reaches it,
//   or with EOPNOTSUPP for O_TMPFILE, as on a file system that makes no such
//   files. A close closes the descriptor all the same, as the system's does;
//   a renameat counts when it renames to the file's name.
// - LEXIVORN_PLANT: the first time a hidden name (".name") is created in
//   the folder, a hard link to this file is put there first, as another
//   program might.
// - LEXIVORN_SWAP: once this name has been looked at (fstatat), it is
//   renamed away and a link to LEXIVORN_SWAP_TO takes its place.
// - LEXIVORN_WRITE_AT_MOST: writes on the file take at most this many bytes
//   at a time, as a pipe or a network file system may.
// - LEXIVORN_HOLD_CALL: calls of fdatasync on the file wait while the file
//   LEXIVORN_HOLD_WHILE exists, ten seconds at most, after creating
//   LEXIVORN_HOLD_WHILE ".held" to say they wait.
// Every other call goes on as it would without it.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

std::atomic<bool> failed = false;
std::atomic<bool> planted = false;
std::atomic<bool> swapped = false;

template<typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

bool isCall(const char *call)
{
    const char *wanted = std::getenv("LEXIVORN_FAIL_CALL");
    return wanted && std::strcmp(wanted, call) == 0 && !failed;
}

std::string folderOf(const std::string &path)
{
    return path.substr(0, path.rfind('/'));
}

std::string pathOf(int fd)
{
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = ::readlink(self, target, sizeof target - 1);
    return length < 0 ? std::string() : std::string(target, size_t(length));
}

bool isOnFile(int fd)
{
    const char *file = std::getenv("LEXIVORN_FAIL_FILE");
    struct stat status;
    if (!file || ::fstat(fd, &status) != 0)
        return false;
    const std::string path = pathOf(fd);
    if (S_ISDIR(status.st_mode))
        return path == folderOf(file);
    if (!S_ISREG(status.st_mode))
        return false;
    if (path == file)
        return true;
    const bool writable = (::fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY;
    return writable && folderOf(path) == folderOf(file);
}

bool isInFolder(int folder, const char *name)
{
    const char *file = std::getenv("LEXIVORN_FAIL_FILE");
    const std::string path = folder == AT_FDCWD ? std::string(name) : pathOf(folder) + '/' + name;
    return file && folderOf(path) == folderOf(file);
}

int fail(int error = EIO)
{
    failed = true;
    errno = error;
    return -1;
}

void holdWhileMarked()
{
    const char *marker = std::getenv("LEXIVORN_HOLD_WHILE");
    if (!marker)
        return;
    const int held = ::open((std::string(marker) + ".held").c_str(), O_WRONLY | O_CREAT, 0600);
    if (held >= 0)
        next<int (*)(int)>("close")(held);
    const timespec millisecond{0, 1'000'000};
    for (int waited = 0; waited < 10'000 && ::access(marker, F_OK) == 0; ++waited)
        ::nanosleep(&millisecond, nullptr);
}

size_t atMost(int fd, size_t size)
{
    const char *most = std::getenv("LEXIVORN_WRITE_AT_MOST");
    return most && isOnFile(fd) ? std::min(size, size_t(std::atoll(most))) : size;
}

} // namespace

extern "C" int fdatasync(int fd)
{
    if (isCall("fdatasync") && isOnFile(fd))
        return fail();
    const char *hold = std::getenv("LEXIVORN_HOLD_CALL");
    if (hold && std::strcmp(hold, "fdatasync") == 0 && isOnFile(fd))
        holdWhileMarked();
    return next<int (*)(int)>("fdatasync")(fd);
}

extern "C" int fsync(int fd)
{
    if (isCall("fsync") && isOnFile(fd))
        return fail();
    return next<int (*)(int)>("fsync")(fd);
}

extern "C" int close(int fd)
{
    const bool failing = isCall("close") && isOnFile(fd);
    const int closed = next<int (*)(int)>("close")(fd);
    return failing && closed == 0 ? fail() : closed;
}

extern "C" int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    const char *file = std::getenv("LEXIVORN_FAIL_FILE");
    const char *fileName = file ? std::strrchr(file, '/') : nullptr;
    const char *toName = std::strrchr(to, '/');
    if (isCall("renameat") && fileName && std::strcmp(toName ? toName + 1 : to, fileName + 1) == 0)
        return fail();
    return next<int (*)(int, const char *, int, const char *)>("renameat")(fromFolder, from,
                                                                           toFolder, to);
}

extern "C" ssize_t readlinkat(int folder, const char *name, char *text, size_t size)
{
    if (isCall("readlinkat") && isInFolder(folder, name))
        return fail();
    return next<ssize_t (*)(int, const char *, char *, size_t)>("readlinkat")(folder, name, text,
                                                                              size);
}

extern "C" int openat(int folder, const char *name, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const auto mode = mode_t(va_arg(arguments, unsigned));
    va_end(arguments);
    if ((flags & O_TMPFILE) == O_TMPFILE && isCall("O_TMPFILE") && isInFolder(folder, "x"))
        return fail(EOPNOTSUPP);
    const char *plant = std::getenv("LEXIVORN_PLANT");
    if (plant && (flags & O_CREAT) && name[0] == '.' && !planted && isInFolder(folder, name)) {
        planted = true;
        ::linkat(AT_FDCWD, plant, folder, name, 0);
    }
    return next<int (*)(int, const char *, int, ...)>("openat")(folder, name, flags, mode);
}

extern "C" int fstatat(int folder, const char *name, struct stat *status, int flags)
{
    const int result = next<int (*)(int, const char *, struct stat *, int)>("fstatat")(
            folder, name, status, flags);
    const char *swap = std::getenv("LEXIVORN_SWAP");
    const char *to = std::getenv("LEXIVORN_SWAP_TO");
    if (swap && to && !swapped && result == 0 && folder != AT_FDCWD
        && pathOf(folder) + '/' + name == swap) {
        swapped = true;
        if (::rename(swap, (std::string(swap) + ".moved").c_str()) != 0 || ::symlink(to, swap) != 0)
            std::abort();
    }
    return result;
}

extern "C" int fstatat64(int folder, const char *name, struct stat64 *status, int flags)
{
    return fstatat(folder, name, reinterpret_cast<struct stat *>(status), flags);
}

extern "C" ssize_t write(int fd, const void *bytes, size_t size)
{
    return next<ssize_t (*)(int, const void *, size_t)>("write")(fd, bytes, atMost(fd, size));
}

extern "C" ssize_t writev(int fd, const iovec *pieces, int count)
{
    const auto real = next<ssize_t (*)(int, const iovec *, int)>("writev");
    const size_t most = atMost(fd, SIZE_MAX);
    if (most == SIZE_MAX)
        return real(fd, pieces, count);
    std::vector<iovec> cut;
    for (size_t left = most; count > 0 && left > 0; ++pieces, --count) {
        cut.push_back({pieces->iov_base, std::min(left, pieces->iov_len)});
        left -= cut.back().iov_len;
    }
    return real(fd, cut.data(), int(cut.size()));
}
