#pragma once

#include <QtGlobal>

namespace listfile {

// About how many more bytes this process can get: the least of what its
// address-space and data-size limits leave, what the system has available
// (free swap included) and what its control group still allows. A guess
// made before a large read, not a promise: other programs take memory too.
// Where nothing limits it, the largest qint64.
qint64 memoryWithinReach();

} // namespace listfile
