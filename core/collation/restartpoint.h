#pragma once

#include "entrycodepoints.h"
#include "piecetable.h"

#include <vector>

namespace collation {

// Where two entries that begin alike may be compared from, leaving out
// what comes before in both (bytes from their starts). Either the same
// bytes come before, or the same text written otherwise, composed in one
// and decomposed in the other: then their weights and their foldings as a
// person reads them are the same before, their foldings as written not.
struct RestartPoint
{
    qsizetype a = 0;
    qsizetype b = 0;
    bool sameBytes = true;

    bool found() const { return a > 0 || b > 0; }
};

// Finds those places. What comes before one may have no say in what
// follows: it is a code point that weighs on its own and begins an NFC
// segment, and what follows it in both entries, as far as they go alike,
// joins no letter before it and is long enough for the rules that look
// back (a joining mark, a contraction's beginning at the end).
class RestartPoints
{
public:
    // Where accents count from the end, or a Turkish I depends on what
    // follows it, only the same bytes may be left out. Without a collation
    // (under C) any place that begins an NFC segment will do.
    RestartPoints(PieceTable &pieces, bool collates, bool sameTextToo);

    // `sameBytes` is how many bytes the two begin with alike.
    RestartPoint find(const EntryCodePoints &a, const EntryCodePoints &b, qsizetype sameBytes);

private:
    qsizetype afterSameBytes(const EntryCodePoints &a, const EntryCodePoints &b, qsizetype common);
    bool mayGoOnAlike(const EntryCodePoints &a, const EntryCodePoints &b, qsizetype sameBytes);
    RestartPoint afterSameText(const EntryCodePoints &a, const EntryCodePoints &b);

    PieceTable &m_pieces;
    const Piece::Flag m_restart;
    const int m_window;
    const qsizetype m_shortest;
    const bool m_sameTextToo;
    struct Candidate
    {
        qsizetype a;
        qsizetype b;
        qsizetype codePointsA;
        qsizetype codePointsB;
    };
    std::vector<Candidate> m_candidates;
};

} // namespace collation
