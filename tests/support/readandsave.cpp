// lexivorn_readandsave OUT IN...
// Reads every IN into one list, as successive Opens do, then writes the list
// to OUT, as Save does: the program's reading and saving, without windows,
// for the tests that run them under the limits of the machine.

#include "entrylist/entrylist.h"
#include "listfile/listfile.h"

#include <QFile>
#include <QString>

#include <csignal>
#include <cstdio>

namespace {

bool succeeded(const listfile::FileResult &result)
{
    if (!result.ok())
        std::fprintf(stderr, "lexivorn_readandsave: %s: %s\n", qPrintable(result.fileName()),
                     qPrintable(result.reason()));
    return result.ok();
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
        std::fprintf(stderr, "usage: lexivorn_readandsave OUT IN...\n");
        return 2;
    }
    core::EntryList list;
    for (int i = 2; i < argc; ++i) {
        if (!succeeded(listfile::ReadListFile(QFile::decodeName(argv[i]), list)))
            return 1;
    }
    return succeeded(listfile::WriteListFile(QFile::decodeName(argv[1]), list)) ? 0 : 1;
}
