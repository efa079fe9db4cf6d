// Preloaded (LD_PRELOAD) into a program under test: reads of the file
// LEXIVORN_HOLD_FILE wait while the file LEXIVORN_HOLD_WHILE exists, as on a
// slow disk or a share far away, but ten seconds at most, so that a program
// that waits for them on its only thread is not held for good. Every read
// then goes on as it would without it.

#include "samefile.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

namespace {

using ReadFunction = ssize_t (*)(int, void *, size_t);

constexpr int HoldLimit = 10'000; // milliseconds

} // namespace

extern "C" ssize_t read(int fd, void *buffer, size_t size)
{
    static const auto next = reinterpret_cast<ReadFunction>(::dlsym(RTLD_NEXT, "read"));
    const char *path = std::getenv("LEXIVORN_HOLD_FILE");
    const char *marker = std::getenv("LEXIVORN_HOLD_WHILE");
    if (path && marker && isSameFile(fd, path)) {
        const timespec millisecond{0, 1'000'000};
        for (int held = 0; held < HoldLimit && ::access(marker, F_OK) == 0; ++held)
            ::nanosleep(&millisecond, nullptr);
    }
    return next(fd, buffer, size);
}
