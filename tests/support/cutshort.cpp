// Preloaded (LD_PRELOAD) into a program under test: once the program has read
// past LEXIVORN_CUT_AT bytes of the file LEXIVORN_CUT_FILE, that file is cut
// to LEXIVORN_CUT_TO bytes, as another program truncating it meanwhile would;
// or, when LEXIVORN_REWRITE_AT is set, the byte at that offset is written
// over with '#', and the file keeps its size. Every read goes on as it would
// without it.

#include "samefile.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

using ReadFunction = ssize_t (*)(int, void *, size_t);

long long number(const char *name)
{
    const char *value = std::getenv(name);
    return value ? std::atoll(value) : 0;
}

} // namespace

extern "C" ssize_t read(int fd, void *buffer, size_t size)
{
    static const auto next = reinterpret_cast<ReadFunction>(::dlsym(RTLD_NEXT, "read"));
    static std::atomic<bool> cut = false;
    const ssize_t got = next(fd, buffer, size);
    const char *path = std::getenv("LEXIVORN_CUT_FILE");
    if (got <= 0 || cut || !path || !isSameFile(fd, path)
        || ::lseek(fd, 0, SEEK_CUR) < number("LEXIVORN_CUT_AT"))
        return got;
    cut = true;
    if (std::getenv("LEXIVORN_REWRITE_AT")) {
        const int file = ::open(path, O_WRONLY | O_CLOEXEC);
        if (file < 0 || ::pwrite(file, "#", 1, off_t(number("LEXIVORN_REWRITE_AT"))) != 1)
            std::abort();
        ::close(file);
    } else if (::truncate(path, off_t(number("LEXIVORN_CUT_TO"))) != 0) {
        std::abort();
    }
    return got;
}
