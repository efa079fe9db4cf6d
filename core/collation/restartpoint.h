#pragma once

#include "entrycodepoints.h"
#include "piecetable.h"

#include <QByteArray>

#include <deque>
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
    struct Candidate
    {
        qsizetype a;
        qsizetype b;
        qsizetype codePointsA;
        qsizetype codePointsB;
    };

    qsizetype afterSameBytes(const EntryCodePoints &a, const EntryCodePoints &b, qsizetype common);
    bool mayGoOnAlike(const EntryCodePoints &a, const EntryCodePoints &b, qsizetype sameBytes);
    RestartPoint afterSameText(const EntryCodePoints &a, const EntryCodePoints &b);
    qsizetype resumable(const EntryCodePoints &a, const EntryCodePoints &b) const;
    RestartPoint walkSameText(const EntryCodePoints &a, const EntryCodePoints &b,
                              qsizetype resumeAt);
    bool followedByWindow(const Candidate &candidate, qsizetype alikeA, qsizetype alikeB) const;

    PieceTable &m_pieces;
    const Piece::Flag m_restart;
    const int m_window;
    const qsizetype m_shortest;
    const bool m_sameTextToo;
    // The last two entries walked for the same text, as far as their first
    // remembered bytes, and the places found in them there.
    QByteArray m_walkedA;
    QByteArray m_walkedB;
    EntryEncoding m_walkedEncodingA = EntryEncoding::Ascii;
    EntryEncoding m_walkedEncodingB = EntryEncoding::Ascii;
    std::vector<Candidate> m_candidates;
    // Places past the remembered bytes not yet followed by enough.
    std::deque<Candidate> m_pending;
};

} // namespace collation
