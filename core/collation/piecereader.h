#pragma once

#include "entrycodepoints.h"
#include "icu.h"
#include "piecetable.h"

#include <optional>
#include <utility>

namespace collation {

// The pieces of an entry's code points, one by one, but for a Turkish
// capital I, which is the capital of dotless ı when bare and of i when an
// accent other than a dot above follows.
class PieceReader
{
public:
    PieceReader(const EntryCodePoints &source, PieceTable &pieces)
        : m_source(source)
        , m_pieces(&pieces)
    { }

    // The next piece, or null at the end.
    const Piece *next()
    {
        if (m_peeked)
            return std::exchange(m_peeked, std::nullopt).value();
        // Every code point of a key passes here: the common case stays
        // inline in the caller's loop.
        if (!m_pieces->turkic())
            return m_source.atEnd() ? nullptr : &(*m_pieces)[m_source.next()];
        return read();
    }

    // The piece next() gives next, without moving on.
    const Piece *peek()
    {
        if (!m_peeked)
            m_peeked = read();
        return *m_peeked;
    }

private:
    const Piece *read()
    {
        if (!m_pieces->turkic())
            return m_source.atEnd() ? nullptr : &(*m_pieces)[m_source.next()];
        if (m_following)
            return std::exchange(m_following, nullptr);
        while (!m_source.atEnd()) {
            const char32_t c = m_source.next();
            const Piece &piece = (*m_pieces)[c];
            const bool capitalI = c == U'I' && m_pieces->turkic();
            if (m_capitalI) {
                // An accent written after it, not a letter whose folding
                // ends in one (ǰ folds to j and a caron).
                const Piece *before = isCombiningMark(UChar32(c)) && c != U'\u0307'
                        ? &(*m_pieces)[U'i']
                        : m_capitalI;
                m_capitalI = capitalI ? &piece : nullptr;
                m_following = capitalI ? nullptr : &piece;
                return before;
            }
            if (!capitalI)
                return &piece;
            m_capitalI = &piece;
        }
        return std::exchange(m_capitalI, nullptr);
    }

    EntryCodePoints m_source;
    PieceTable *m_pieces;
    const Piece *m_capitalI = nullptr; // waiting for what follows it
    const Piece *m_following = nullptr; // read after it
    std::optional<const Piece *> m_peeked;
};

} // namespace collation
