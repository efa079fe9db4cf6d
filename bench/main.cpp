// lexivorn_bench OUT IN...
// Reads every IN into one list, as successive Opens do, then writes the list
// to OUT, as Save does: the program's reading and saving, without windows.
// scripts/bench.sh measures with it the whole path a user waits for, with the
// collation of the environment's locale; the tests run it under the limits
// of the machine.

#include "entrylist/entrylist.h"
#include "listfile/listfile.h"

#include <QFile>
#include <QString>

#include <csignal>
#include <cstdio>

using core::EntryList;
using listfile::FileResult;

namespace {

void printFailure(const FileResult &result)
{
    std::fprintf(stderr, "lexivorn_bench: %s: %s\n", qPrintable(result.fileName()),
                 qPrintable(result.reason()));
}

} // namespace

int main(int argc, char *argv[])
{
#ifdef SIGXFSZ
    // As in the program: past a file-size limit a write fails rather than
    // killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    if (argc < 3) {
        std::fprintf(stderr, "usage: lexivorn_bench OUT IN...\n");
        return 2;
    }

    EntryList list;
    for (int i = 2; i < argc; ++i) {
        const FileResult read = listfile::ReadListFile(QFile::decodeName(argv[i]), list);
        if (!read.ok()) {
            printFailure(read);
            return 1;
        }
    }

    const FileResult written = listfile::WriteListFile(QFile::decodeName(argv[1]), list);
    if (!written.ok()) {
        printFailure(written);
        return 1;
    }
    return 0;
}
