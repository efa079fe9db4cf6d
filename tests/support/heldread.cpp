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

} // namespace

extern "C" ssize_t read(int fd, void *buffer, size_t size)
{
    static const auto next = reinterpret_cast<ReadFunction>(::dlsym(RTLD_NEXT, "read"));
    const char *path = std::getenv("LEXIVORN_HOLD_FILE");
    const char *marker = std::getenv("LEXIVORN_HOLD_WHILE");
    if (path && marker && isSameFile(fd, path)) {
        const timespec millisecond{0, 1'000'000};
        const long limit = holdLimit();
        for (long held = 0; held < limit && ::access(marker, F_OK) == 0; ++held)
            ::nanosleep(&millisecond, nullptr);
    }
    return next(fd, buffer, size);
}
