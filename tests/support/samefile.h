#pragma once

#include <sys/stat.h>

// For the preloaded libraries: whether descriptor `fd` is open on the file
// that `path` names now.
inline bool isSameFile(int fd, const char *path)
{
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::stat(path, &named) == 0 && opened.st_dev == named.st_dev
            && opened.st_ino == named.st_ino;
}
