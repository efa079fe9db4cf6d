// Preloaded (LD_PRELOAD) into a program under test: reads of the file
// LEXIVORN_HOLD_FILE wait while the file LEXIVORN_HOLD_WHILE exists, as on a
// slow disk or a share far away, but ten seconds at most (or
// LEXIVORN_HOLD_LIMIT milliseconds), so that a program that waits for them on
// its only thread is not held for good. Every read then goes on as it would
// without it.

#include "samefile.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace {

using ReadFunction = ssize_t (*)(int, void *, size_t);

constexpr long DefaultHoldLimit = 10'000; // milliseconds

long holdLimit()
{
    const char *limit = std::getenv("LEXIVORN_HOLD_LIMIT");
    return limit && *limit ? std::strtol(limit, nullptr, 10) : DefaultHoldLimit;
}

// Waits while the marker exists, when `fd` is open on the held file.
void holdIfAsked(int fd)
{
    const char *path = std::getenv("LEXIVORN_HOLD_FILE");
    const char *marker = std::getenv("LEXIVORN_HOLD_WHILE");
    if (path && marker && isSameFile(fd, path)) {
        const timespec millisecond{0, 1'000'000};
        const long limit = holdLimit();
        for (long held = 0; held < limit && ::access(marker, F_OK) == 0; ++held)
            ::nanosleep(&millisecond, nullptr);
    }
}

} // namespace

extern "C" ssize_t read(int fd, void *buffer, size_t size)
{
    static const auto next = reinterpret_cast<ReadFunction>(::dlsym(RTLD_NEXT, "read"));
    holdIfAsked(fd);
    return next(fd, buffer, size);
}

// Large files are read in parts at their offsets.
extern "C" ssize_t pread64(int fd, void *buffer, size_t size, off_t at)
{
    using PreadFunction = ssize_t (*)(int, void *, size_t, off_t);
    static const auto next = reinterpret_cast<PreadFunction>(::dlsym(RTLD_NEXT, "pread64"));
    holdIfAsked(fd);
    return next(fd, buffer, size, at);
}

extern "C" ssize_t pread(int fd, void *buffer, size_t size, off_t at)
{
    return pread64(fd, buffer, size, at);
}
