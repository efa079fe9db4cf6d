#include "newfilereason.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace listfile {

// The system refuses a new file in some folders of its own, such as /proc, as
// "No such file or directory", though the folder is there. Asking that
// folder for a file without a name gives the true reason.
QString newFileFailureReason(const QString &fileName, int systemError, const QString &reported)
{
#if defined(Q_OS_LINUX) && defined(O_TMPFILE)
    const QFileInfo folder(QFileInfo(fileName).absolutePath());
    if (systemError != ENOENT || !folder.isDir())
        return reported;
    const int probe =
            ::open(QFile::encodeName(folder.filePath()).constData(), O_TMPFILE | O_WRONLY, 0600);
    if (probe >= 0)
        ::close(probe);
    else if (errno != ENOENT)
        return QString::fromLocal8Bit(std::strerror(errno));
#else
    Q_UNUSED(fileName);
    Q_UNUSED(systemError);
#endif
    return reported;
}

} // namespace listfile
