#pragma once

#include <QString>

// How a file name shows in a message: with the system's separators, and its
// line ends and direction controls drawn as marks, as in the list, so that
// a name can neither break a message into lines of its own nor read
// backwards. A long name is cut in the middle, "…" standing for what is left
// out, so that the start of the path and the file's own name stay readable
// and the message stays within the screen.
QString shownFileName(const QString &fileName);
