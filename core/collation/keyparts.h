#pragma once

#include "sortkeywriter.h"

#include <QtGlobal>

#include <cstring>

namespace collation {

// What the parts of key building share.

// A long text's key is built chunk by chunk, each of about this many UTF-16
// units.
inline constexpr qsizetype chunkUnits = 16384;

// Where a key is cut into chunks: before a code point no contraction joins
// to the one before, once the chunk is long enough.
struct ChunkCutter
{
    qsizetype units = 0;
    bool previousJoins = true;

    bool cutsBefore(const Piece &piece)
    {
        const bool cut = units >= chunkUnits && piece.has(Piece::Boundary) && !previousJoins;
        units = (cut ? 0 : units) + piece.utf16Size;
        previousJoins = piece.has(Piece::Joins);
        return cut;
    }
};

// Where the folded text goes: counted, or copied exactly, or copied into a
// buffer with room for a whole piece after the last.
struct FoldCounter
{
    qsizetype size = 0;
    void put(const Piece &piece) { size += piece.utf8Size; }
};

struct FoldWriter
{
    char *at;
    void put(const Piece &piece)
    {
        std::memcpy(at, piece.utf8, piece.utf8Size);
        at += piece.utf8Size;
    }
};

struct RoomyFoldWriter
{
    char *at;
    void put(const Piece &piece)
    {
        std::memcpy(at, piece.utf8, sizeof piece.utf8);
        at += piece.utf8Size;
    }
};

} // namespace collation
