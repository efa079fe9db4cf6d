#include "linesplitter.h"

#include <utility>

namespace listfile {

namespace {

constexpr qsizetype longLine = 1024 * 1024;

} // namespace

void LineSplitter::feed(QByteArrayView bytes)
{
    m_fed += bytes.size();
    if (m_afterCr && bytes.startsWith('\n'))
        bytes = bytes.sliced(1);
    m_afterCr = false;
    for (qsizetype cr; (cr = bytes.indexOf('\r')) >= 0;) {
        endLine(bytes.first(cr));
        bytes = bytes.sliced(cr + 1);
        if (bytes.isEmpty())
            m_afterCr = true; // an LF at the start of the next piece ends this line
        else if (bytes.startsWith('\n'))
            bytes = bytes.sliced(1);
    }
    // A long line held back gets room for the rest of the file at once:
    // growing it step by step would copy it each time, and for a moment
    // hold it twice. The room that stays unused is never touched.
    const qsizetype held = m_current.size() + bytes.size();
    if (held > m_current.capacity() && held > longLine && m_fileSize > m_fed)
        m_current.reserve(held + qsizetype(m_fileSize - m_fed));
    m_current += bytes;
}

void LineSplitter::finish()
{
    if (!m_current.isEmpty())
        endLine({});
}

// The line is what was held back from earlier pieces, then `rest`. Most
// lines lie within one piece and are copied once, straight from it. A line
// held back is handed over as it is, not copied: a file of one long line
// would otherwise be in memory twice.
void LineSplitter::endLine(QByteArrayView rest)
{
    ++m_count;
    if (!fits()) {
        m_lines.clear();
        m_current.clear();
        return;
    }
    if (m_current.isEmpty()) {
        while (rest.endsWith(' '))
            rest.chop(1);
        m_lines.append(rest.toByteArray());
        return;
    }
    m_current += rest;
    qsizetype size = m_current.size();
    while (size > 0 && m_current.at(size - 1) == ' ')
        --size;
    m_current.truncate(size);
    // Growing left spare room behind the line; giving it back costs no copy.
    m_current.squeeze();
    m_lines.append(std::exchange(m_current, {}));
}

} // namespace listfile
