#pragma once

#include "collation/textencoding.h"

#include <QByteArrayView>

#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace collation {

// Reads the code points of an entry's bytes one by one, as its encoding
// says: ASCII, well-formed UTF-8, or Windows-1252 with its upper half given
// by a table.
class EntryCodePoints
{
public:
    EntryCodePoints(QByteArrayView bytes, EntryEncoding encoding,
                    const std::array<char32_t, 0x80> &windows1252High)
        : m_bytes(bytes)
        , m_encoding(encoding)
        , m_high(&windows1252High)
    { }

    qsizetype byteCount() const { return m_bytes.size(); }
    EntryEncoding encoding() const { return m_encoding; }
    QByteArrayView bytes() const { return m_bytes; }
    bool atEnd() const { return m_at == m_bytes.size(); }
    // The byte the next code point begins at.
    qsizetype position() const { return m_at; }
    void seek(qsizetype at) { m_at = at; }

    // The next code point; not at the end.
    char32_t next()
    {
        const auto byte = uchar(m_bytes[m_at]);
        if (byte < 0x80) {
            ++m_at;
            return byte;
        }
        if (m_encoding == EntryEncoding::Windows1252) {
            ++m_at;
            return (*m_high)[byte - 0x80];
        }
        UChar32 c;
        U8_NEXT_UNSAFE(reinterpret_cast<const uint8_t *>(m_bytes.data()), m_at, c);
        return char32_t(c);
    }

    // The same entry from byte `at` on, where a code point begins.
    EntryCodePoints from(qsizetype at) const
    {
        EntryCodePoints rest = *this;
        rest.m_bytes = m_bytes.sliced(at);
        rest.m_at = 0;
        return rest;
    }

    // Where the code point before byte `at` begins.
    qsizetype previousStart(qsizetype at) const
    {
        --at;
        if (m_encoding == EntryEncoding::Utf8) {
            while (at > 0 && (uchar(m_bytes[at]) & 0xC0) == 0x80)
                --at;
        }
        return at;
    }

    // The code point that begins at byte `at`.
    char32_t codePointAt(qsizetype at) const
    {
        EntryCodePoints reader = *this;
        reader.m_at = at;
        return reader.next();
    }

    // The next bytes, at most `most` of them, of an entry that is ASCII.
    QByteArrayView nextAscii(qsizetype most)
    {
        const QByteArrayView bytes = m_bytes.sliced(m_at, qMin(most, m_bytes.size() - m_at));
        m_at += bytes.size();
        return bytes;
    }

private:
    QByteArrayView m_bytes;
    EntryEncoding m_encoding;
    const std::array<char32_t, 0x80> *m_high;
    qsizetype m_at = 0;
};

// How many bytes two texts begin with alike: a block at a time by memcmp(),
// which compares many bytes at once, then eight at a time.
inline qsizetype commonPrefix(QByteArrayView x, QByteArrayView y)
{
    constexpr qsizetype block = 256;
    const qsizetype size = std::min(x.size(), y.size());
    qsizetype at = 0;
    while (at + block <= size && std::memcmp(x.data() + at, y.data() + at, block) == 0)
        at += block;
    for (; at + 8 <= size; at += 8) {
        quint64 wordX;
        quint64 wordY;
        std::memcpy(&wordX, x.data() + at, 8);
        std::memcpy(&wordY, y.data() + at, 8);
        if (wordX != wordY)
            break;
    }
    while (at < size && x[at] == y[at])
        ++at;
    return at;
}

} // namespace collation
