#pragma once

#include <QtGlobal>

// What one code point adds to a key: its case folding and, when ICU's
// weights for the folding can be strung together with those of its
// neighbours, those weights.
struct Piece
{
    enum Flag : quint16 {
        Known = 1,
        // Its weights below are what ICU gives it, unless it follows a code
        // point that Starts and itself Continues.
        Simple = 2,
        // The lead byte of its primary is left out when repeated.
        Compressible = 4,
        // It begins, or continues, a contraction or context mapping.
        Starts = 8,
        Continues = 16,
        // A text that ends with it may be the beginning of a contraction
        // that sorts before the beginning alone.
        Begins = 32,
        // A key may be cut into chunks before it: it continues nothing, and
        // is no combining mark that a contraction could reach over others.
        Boundary = 64,
        // Its folding starts with a letter or digit.
        Alnum = 128,
        // It is a combining mark.
        Mark = 256,
        // Simple, with a primary that is not compressed and one common
        // secondary weight, as most letters have.
        Plain = 512,
        // The second primary is compressible too.
        Compressible2 = 1024,
        // Of a pair: ICU weighs the two as they weigh alone, in order.
        Apart = 2048,
        // In a root contraction together with ASCII, which may continue it.
        Joins = 4096,
    };

    // Up to two primary weights of one or two bytes each, 0 for none; then
    // the secondary weights, 0x0500 being the common one.
    quint32 primary = 0;
    quint32 primary2 = 0;
    quint16 secondaries[3] = {};
    quint16 flags = 0;
    quint8 secondaryCount = 0;
    // The combining classes of the first and last code points of its folding.
    quint8 leadingClass = 0;
    quint8 trailingClass = 0;
    quint8 utf16Size = 0;
    quint8 utf8Size = 0;
    char16_t utf16[3] = {};
    char utf8[9] = {};

    bool has(Flag flag) const { return flags & flag; }
};

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
