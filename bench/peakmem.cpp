// lexivorn_peakmem COMMAND [ARG...]
// Runs COMMAND with its standard output discarded and prints its peak
// resident memory in KiB. A small program on purpose: a child's count starts
// from the memory of the process that forked it, so a big wrapper (a Python
// interpreter) would hide every figure below its own size.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: lexivorn_peakmem COMMAND [ARG...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) {
        std::perror("lexivorn_peakmem: fork");
        return 1;
    }
    if (child == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            dup2(devNull, STDOUT_FILENO);
        execvp(argv[1], argv + 1);
        std::perror("lexivorn_peakmem: exec");
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) < 0) {
        std::perror("lexivorn_peakmem: wait");
        return 1;
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "lexivorn_peakmem: %s failed\n", argv[1]);
        return 1;
    }
    std::printf("%ld\n", usage.ru_maxrss);
    return 0;
}
