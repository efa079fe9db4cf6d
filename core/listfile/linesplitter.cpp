#include "linesplitter.h"

#include <cstring>

namespace listfile {

SplitLines splitLines(QByteArrayView bytes, qsizetype room, bool toEnd)
{
    SplitLines split;
    const char *at = bytes.data();
    const char *const end = at + bytes.size();
    while (at < end) {
        const auto *cr = static_cast<const char *>(std::memchr(at, '\r', size_t(end - at)));
        if (!cr && !toEnd)
            break;
        const char *lineEnd = cr ? cr : end;
        ++split.count;
        if (split.count <= room) {
            while (lineEnd > at && lineEnd[-1] == ' ')
                --lineEnd;
            split.lines.append(QByteArray::fromRawData(at, lineEnd - at));
        } else if (split.count == room + 1) {
            split.lines = {};
        }
        if (!cr)
            break;
        at = cr + 1;
        if (at < end && *at == '\n')
            ++at;
    }
    return split;
}

} // namespace listfile
