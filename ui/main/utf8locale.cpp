#include "utf8locale.h"

#include <QByteArray>

#include <clocale>
#include <cstring>

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
#include <langinfo.h>
#endif

void replaceCLocaleByCUtf8()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!std::setlocale(LC_ALL, ""))
        return; // A locale the system lacks: Qt reports that one itself.
    const char *characterType = std::setlocale(LC_CTYPE, nullptr);
    const bool isC =
            std::strcmp(characterType, "C") == 0 || std::strcmp(characterType, "POSIX") == 0;
    if (!isC || std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0)
        return;
    // LC_ALL outranks LC_CTYPE: when it is set, it is the one naming C.
    qputenv(qEnvironmentVariableIsEmpty("LC_ALL") ? "LC_CTYPE" : "LC_ALL",
            QByteArrayLiteral("C.UTF-8"));
#endif
}
