#pragma once

#include <QString>

namespace listfile {

// Why the system would not create the file: the reason it reported for the
// failed attempt (systemError, an errno value, and its text), or a truer one
// where that reason is known to mislead.
QString newFileFailureReason(const QString &fileName, int systemError, const QString &reported);

} // namespace listfile
