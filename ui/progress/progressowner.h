#pragma once

#include <QString>

// What the progress window needs of the window that put it up: to be
// brought back when the sequence ends, and the program's one save routine
// for the prompted save.
class ProgressOwner
{
public:
    virtual ~ProgressOwner() = default;

    virtual void showMainWindow() = 0;
    // Asks for a file name, writes the list there and tells the user how it
    // went. Returns the name chosen, empty when the user cancelled.
    virtual QString saveListAs() = 0;
};
