#include "listfile.h"

FileResult FileResult::failure(const QString &fileName, const QString &reason)
{
    FileResult result;
    result.m_failed = true;
    result.m_fileName = fileName;
    result.m_reason = reason;
    return result;
}
