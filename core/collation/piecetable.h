#pragma once

#include "localecollation.h"
#include "sortkeywriter.h"

#include <array>
#include <memory>
#include <unordered_map>

namespace collation {

// The pieces of code points, each computed on first use. Pages of 256
// code points are allocated as text meets them, so a lookup never hashes.
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

    // The weights of two code points that stand together, the first of
    // which Starts and the second Continues (see LocaleCollation::pairOf).
    const Piece &pair(char32_t first, char32_t second);

    // Whether I is the capital of dotless ı, as in Turkish and Azerbaijani.
    bool turkic() const { return m_turkic; }

private:
    using Page = std::array<Piece, 0x100>;

    const Piece &compute(char32_t codePoint);
    void fold(char32_t codePoint, Piece &piece) const;

    LocaleCollation *const m_collation;
    const bool m_turkic;
    std::array<std::unique_ptr<Page>, 0x110000 / 0x100> m_pages;
    std::unordered_map<quint64, Piece> m_pairs;
};

} // namespace collation
