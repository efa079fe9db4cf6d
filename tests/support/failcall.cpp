// Preloaded (LD_PRELOAD) into a program under test: the first call of
// LEXIVORN_FAIL_CALL (fdatasync, fsync, close or renameat) on the file
// LEXIVORN_FAIL_FILE fails with EIO, as on a disk that fails only when data
// reaches it. The call counts as on that file when it works on the file
// itself or on a file opened for writing in the same folder (a new file on
// its way to the file's place), or, for renameat, when it renames to the
// file's name. A close closes the descriptor all the same, as the system's
// does. Every other call goes on as it would without it.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::atomic<bool> failed = false;

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

bool isOnFile(int fd)
{
    const char *file = std::getenv("LEXIVORN_FAIL_FILE");
    struct stat status;
    if (!file || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = ::readlink(self, target, sizeof target - 1);
    if (length < 0)
        return false;
    const std::string path(target, size_t(length));
    if (path == file)
        return true;
    const bool writable = (::fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDONLY;
    return writable && folderOf(path) == folderOf(file);
}

int fail()
{
    failed = true;
    errno = EIO;
    return -1;
}

} // namespace

extern "C" int fdatasync(int fd)
{
    if (isCall("fdatasync") && isOnFile(fd))
        return fail();
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
