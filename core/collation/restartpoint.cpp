#include "restartpoint.h"

#include <algorithm>

namespace collation {

namespace {

// Entries that begin alike for less than this many bytes are compared from
// their start; under C, where finding the place costs less, for less than
// the second.
constexpr qsizetype shortestRestart = 64;
constexpr qsizetype shortestRestartUnderC = 8;
// How many code points must follow a place, alike in both entries and
// joining no letter before them, for the rules that look back to see from
// it what they would see from the start.
constexpr int restartWindow = 32;
// How far back from where two entries part byte for byte such a place is
// looked for.
constexpr int restartSearch = 256;
// ICU counts the units of a text in 32 bits: longer entries are compared
// from their start, so that their weights end where they always end.
constexpr qsizetype longestRestarted = qsizetype(1) << 30;

qsizetype asciiPrefix(QByteArrayView bytes)
{
    return std::find_if(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; })
            - bytes.begin();
}

// An entry as a walk over two entries reads it: its pieces decomposed, a
// unit at a time. A piece that may join a letter before it, whose
// decomposition ICU does not weigh as the piece, or a mark out of its
// canonical order, where ICU might weigh a text otherwise than the same
// text written otherwise, ends the walk.
class DecomposedReader
{
public:
    DecomposedReader(const EntryCodePoints &source, PieceTable &pieces)
        : m_source(source)
        , m_pieces(pieces)
    { }

    bool pending() const { return m_at < m_size; }
    char16_t unit() const { return m_units[m_at]; }
    void pop() { ++m_at; }
    qsizetype position() const { return m_source.position(); }
    qsizetype codePoints() const { return m_codePoints; }

    const Piece *read()
    {
        if (m_source.atEnd())
            return nullptr;
        const Piece &piece = m_pieces[m_source.next()];
        if (piece.decomposedSize == 0 || piece.has(Piece::MayJoin)
            || (piece.decomposedLeadingClass != 0 && piece.decomposedLeadingClass < m_lastClass))
            return nullptr;
        m_lastClass = piece.decomposedTrailingClass;
        m_units = piece.decomposed;
        m_size = piece.decomposedSize;
        m_at = 0;
        ++m_codePoints;
        return &piece;
    }

private:
    EntryCodePoints m_source;
    PieceTable &m_pieces;
    const char16_t *m_units = nullptr;
    int m_size = 0;
    int m_at = 0;
    quint8 m_lastClass = 0;
    qsizetype m_codePoints = 0;
};

} // namespace

RestartPoints::RestartPoints(PieceTable &pieces, bool collates, bool sameTextToo)
    : m_pieces(pieces)
    , m_restart(collates ? Piece::Restart : Piece::NfcStart)
    , m_window(collates ? restartWindow : 1)
    , m_shortest(collates ? shortestRestart : shortestRestartUnderC)
    , m_sameTextToo(sameTextToo)
{ }

RestartPoint RestartPoints::find(const EntryCodePoints &a, const EntryCodePoints &b,
                                 qsizetype sameBytes)
{
    if (a.byteCount() > longestRestarted || b.byteCount() > longestRestarted)
        return {};
    if (const qsizetype at = afterSameBytes(a, b, sameBytes); at > 0)
        return {at, at, true};
    if (m_sameTextToo && a.byteCount() >= shortestRestart && b.byteCount() >= shortestRestart
        && mayGoOnAlike(a, b, sameBytes))
        return afterSameText(a, b);
    return {};
}

// Whether the first code points in which two entries differ byte for byte
// may still be the same text: the same folding decomposed begins alike
// (a capital and its small letter, a letter composed and decomposed).
bool RestartPoints::mayGoOnAlike(const EntryCodePoints &a, const EntryCodePoints &b,
                                 qsizetype sameBytes)
{
    if (sameBytes == a.byteCount() || sameBytes == b.byteCount())
        return false;
    const Piece &x = m_pieces[a.codePointAt(a.previousStart(sameBytes + 1))];
    const Piece &y = m_pieces[b.codePointAt(b.previousStart(sameBytes + 1))];
    return x.decomposedSize > 0 && y.decomposedSize > 0 && x.decomposed[0] == y.decomposed[0];
}

qsizetype RestartPoints::afterSameBytes(const EntryCodePoints &a, const EntryCodePoints &b,
                                        qsizetype common)
{
    // The same bytes are the same characters where both entries are read
    // the same way, and where they are ASCII.
    if ((a.encoding() == EntryEncoding::Windows1252)
        != (b.encoding() == EntryEncoding::Windows1252))
        common = asciiPrefix(a.bytes().first(common));
    if (common < m_shortest)
        return 0;
    // The code point where they part may begin before the first byte that
    // differs; the one before it is the same in both and ends the window,
    // since the rules read a code point ahead.
    qsizetype at = common < a.byteCount() ? a.previousStart(common + 1) : common;
    at = a.previousStart(at);
    int run = 0;
    for (int step = 0; at > 0 && step < restartSearch; ++step) {
        at = a.previousStart(at);
        const Piece &piece = m_pieces[a.codePointAt(at)];
        run = piece.has(Piece::MayJoin) ? 0 : run + 1;
        if (run >= m_window && piece.has(m_restart))
            return at;
    }
    return 0;
}

// Walks both entries as long as their foldings decompose alike, and takes
// the last place that is followed by enough of that in both.
RestartPoint RestartPoints::afterSameText(const EntryCodePoints &a, const EntryCodePoints &b)
{
    m_candidates.clear();
    DecomposedReader x(a, m_pieces);
    DecomposedReader y(b, m_pieces);
    // The code points read where both readers last ended a piece together.
    qsizetype alikeA = 0;
    qsizetype alikeB = 0;
    for (bool alike = true; alike;) {
        if (!x.pending() && !y.pending()) {
            alikeA = x.codePoints();
            alikeB = y.codePoints();
            const qsizetype atA = x.position();
            const qsizetype atB = y.position();
            const Piece *pieceA = x.read();
            const Piece *pieceB = y.read();
            if (!pieceA || !pieceB)
                break;
            if (pieceA->has(m_restart) && pieceB->has(m_restart) && (atA > 0 || atB > 0))
                m_candidates.push_back({atA, atB, alikeA, alikeB});
        } else if (!x.pending() ? !x.read() : !y.pending() && !y.read()) {
            break;
        }
        while (x.pending() && y.pending()) {
            if (x.unit() != y.unit()) {
                alike = false;
                break;
            }
            x.pop();
            y.pop();
        }
    }
    for (auto candidate = m_candidates.rbegin(); candidate != m_candidates.rend(); ++candidate) {
        if (alikeA - candidate->codePointsA >= m_window
            && alikeB - candidate->codePointsB >= m_window)
            return {candidate->a, candidate->b, false};
    }
    return {};
}

} // namespace collation
