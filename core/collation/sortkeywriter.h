#pragma once

#include "piece.h"

#include <QtGlobal>

namespace collation {

// Writes the primary and secondary levels of a sort key from pieces, byte
// for byte as ICU writes them for the same collation elements at secondary
// strength: a primary lead byte repeated within a compressible group is left
// out, and runs of common secondary weights are counted rather than written.
// A key may be cut into chunks; each chunk is written as if it were a text of
// its own, as ICU writes one sort key for each.
template<typename Out> class SortKeyWriter
{
public:
    SortKeyWriter(Out primaryOut, Out secondaryOut)
        : primaries(primaryOut)
        , secondaries(secondaryOut)
    { }

    Q_ALWAYS_INLINE void add(const Piece &piece)
    {
        if (piece.has(Piece::Plain) && m_previous == 0) {
            primaries.put(uchar(piece.primary >> 24));
            if (const auto second = uchar(piece.primary >> 16))
                primaries.put(second);
            ++m_commons;
            return;
        }
        if (const quint32 p = piece.primary)
            addPrimary(p, piece.has(Piece::Compressible));
        if (const quint32 p = piece.primary2)
            addPrimary(p, piece.has(Piece::Compressible2));
        for (int i = 0; i < piece.secondaryCount; ++i)
            addSecondary(piece.secondaries[i]);
    }

    // Ends a chunk, or the text: the end sorts below every weight.
    void endChunk()
    {
        flushCommons(true);
        m_previous = 0;
    }

    Out primaries;
    Out secondaries;

private:
    static constexpr quint16 commonWeight = 0x0500;
    static constexpr uchar commonLow = 0x05;
    static constexpr uchar commonMiddle = 0x25;
    static constexpr uchar commonHigh = 0x45;
    static constexpr int commonMaxCount = 0x21;

    void addPrimary(quint32 p, bool compressible)
    {
        const auto lead = uchar(p >> 24);
        if (!compressible || lead != m_previous >> 24) {
            // The end of a compressed run says which way the next lead goes.
            if (m_previous != 0)
                primaries.put(p < m_previous ? 0x03 : 0xFF);
            primaries.put(lead);
            m_previous = compressible ? p : 0;
        }
        if (const auto second = uchar(p >> 16))
            primaries.put(second);
    }

    void addSecondary(quint16 s)
    {
        if (s == commonWeight) {
            ++m_commons;
            return;
        }
        flushCommons(s < commonWeight);
        secondaries.put(uchar(s >> 8));
        if (uchar(s) != 0)
            secondaries.put(uchar(s));
    }

    // A run of common weights is one byte for every 33, counting up from
    // commonLow when what follows is lower, down from commonHigh when higher.
    void flushCommons(bool lowerFollows)
    {
        if (m_commons == 0)
            return;
        --m_commons;
        while (m_commons >= commonMaxCount) {
            secondaries.put(commonMiddle);
            m_commons -= commonMaxCount;
        }
        secondaries.put(uchar(lowerFollows ? commonLow + m_commons : commonHigh - m_commons));
        m_commons = 0;
    }

    quint32 m_previous = 0; // the primary that began a compressed run
    int m_commons = 0;
};

struct ByteCounter
{
    qsizetype size = 0;
    void put(uchar) { ++size; }
};

struct ByteWriter
{
    char *at = nullptr;
    void put(uchar byte) { *at++ = char(byte); }
};

} // namespace collation
