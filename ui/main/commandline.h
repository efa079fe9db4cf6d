#pragma once

#include <QStringList>

#include <optional>

// What the program was asked on its command line.
struct CommandLine
{
    // The FILE arguments, in the order given.
    QStringList files;
    // Set when the program is to end at once with this status, its text
    // already printed: 0 after --help or --version, 2 after an option it
    // does not know.
    std::optional<int> exitStatus;
};

// Reads the options and FILE arguments, printing what --help, --version or a
// mistake calls for. Call it before the QApplication is made: it loads no
// platform plugin, so it works where no display can be opened. Leaves argv
// holding the program's name alone, so that no argument reaches Qt's own
// options.
CommandLine readCommandLine(int &argc, char **argv);
