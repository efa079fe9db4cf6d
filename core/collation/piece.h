#pragma once

#include <QtGlobal>

namespace collation {

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

} // namespace collation
