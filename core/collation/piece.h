#pragma once

#include <QtGlobal>

namespace collation {

// What one code point adds to a key: its case folding, and what the order
// rules ask of it.
struct Piece
{
    enum Flag : quint16 {
        Known = 1,
        // It follows another code point in a contraction or context mapping
        // of the locale, so it may join the letter before it.
        Continues = 2,
        // Its folding starts with a letter or digit.
        Alnum = 4,
        // It is a combining mark.
        Mark = 8,
        // It is one code point, of the combining marks' general category,
        // that continues a contraction: it may join the letter before it
        // into another letter.
        MayJoin = 16,
        // None of the order rules concern it: it begins and ends with no
        // combining class, and joins no letter.
        Plain = 32,
        // Its folding begins where normalization to NFC never joins it to
        // what comes before.
        NfcStart = 64,
        // A comparison of two texts may begin here, leaving out the same
        // text before it in both: it is plain, weighs on its own (it begins
        // no contraction's second part and carries a primary weight of its
        // own), and begins an NFC segment.
        Restart = 128,
        // Its folding is composed (NFC) as it stands.
        Composed = 256,
    };

    quint16 flags = 0;
    // The combining classes of the first and last code points of its folding.
    quint8 leadingClass = 0;
    quint8 trailingClass = 0;
    quint8 utf16Size = 0;
    quint8 utf8Size = 0;
    char16_t utf16[3] = {};
    char utf8[9] = {};
    // The folding decomposed (NFD), when that is at most four units and
    // ICU weighs it as the folding; else none. With the combining classes
    // of its first and last code points.
    quint8 decomposedSize = 0;
    quint8 decomposedLeadingClass = 0;
    quint8 decomposedTrailingClass = 0;
    char16_t decomposed[4] = {};

    bool has(Flag flag) const { return flags & flag; }
};

} // namespace collation
