#pragma once

#include "piece.h"

#include <array>
#include <memory>

namespace collation {

class LocaleCollation;

// The pieces of code points, each computed on first use. Pages of 256
// code points are allocated as text meets them, so a lookup never hashes,
// and a piece once computed never moves.
class PieceTable
{
public:
    // Without a collation, pieces hold the folding alone.
    PieceTable(LocaleCollation *collation, bool turkic);
    ~PieceTable();

    const Piece &operator[](char32_t codePoint)
    {
        if (const auto &page = m_pages[codePoint >> 8]) {
            const Piece &piece = (*page)[codePoint & 0xFF];
            if (piece.has(Piece::Known))
                return piece;
        }
        return compute(codePoint);
    }

    // Whether I is the capital of dotless ı, as in Turkish and Azerbaijani.
    bool turkic() const { return m_turkic; }

private:
    using Page = std::array<Piece, 0x100>;

    const Piece &compute(char32_t codePoint);
    void fold(char32_t codePoint, Piece &piece) const;
    static void decompose(Piece &piece);

    LocaleCollation *const m_collation;
    const bool m_turkic;
    std::array<std::unique_ptr<Page>, 0x110000 / 0x100> m_pages;
};

} // namespace collation
