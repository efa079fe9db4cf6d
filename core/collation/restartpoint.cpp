#include "restartpoint.h"

#include <algorithm>
#include <cstring>
#include <optional>

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
// How many of their first bytes the last two entries walked for the same
// text are remembered, with the places found there.
constexpr qsizetype rememberedBytes = 64 * 1024;

// Keeps a copy of `bytes` in `copy`, whose room is used again.
void remember(QByteArray &copy, QByteArrayView bytes)
{
    copy.resize(bytes.size());
    std::memcpy(copy.data(), bytes.data(), size_t(bytes.size()));
}

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
    // Reads from byte `at`, where a piece begins that follows `codePoints`
    // others and begins an NFC segment, so that the marks before it have no
    // say in their order.
    DecomposedReader(const EntryCodePoints &source, PieceTable &pieces, qsizetype at,
                     qsizetype codePoints)
        : m_source(source)
        , m_pieces(pieces)
        , m_codePoints(codePoints)
    {
        m_source.seek(at);
    }

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

// Merging compares one entry with a run of others that begin as each other
// do, so most walks begin as the last one did: they go on from the last
// place found where both entries still hold what the last two held.
RestartPoint RestartPoints::afterSameText(const EntryCodePoints &a, const EntryCodePoints &b)
{
    const qsizetype straight = resumable(a, b);
    const qsizetype crossed = resumable(b, a);
    if (crossed <= straight)
        return walkSameText(a, b, straight);
    const RestartPoint found = walkSameText(b, a, crossed);
    return {found.b, found.a, found.sameBytes};
}

// How many of the last walk's places hold for `a` and `b`, read in that
// order: those with the same bytes before them as before. What the walk
// knows at a place it learned from the bytes before it.
qsizetype RestartPoints::resumable(const EntryCodePoints &a, const EntryCodePoints &b) const
{
    if (a.encoding() != m_walkedEncodingA || b.encoding() != m_walkedEncodingB)
        return 0;
    const qsizetype sameA = commonPrefix(m_walkedA, a.bytes());
    const qsizetype sameB = commonPrefix(m_walkedB, b.bytes());
    auto candidate = m_candidates.rbegin();
    while (candidate != m_candidates.rend() && (candidate->a > sameA || candidate->b > sameB))
        ++candidate;
    return m_candidates.rend() - candidate;
}

bool RestartPoints::followedByWindow(const Candidate &candidate, qsizetype alikeA,
                                     qsizetype alikeB) const
{
    return alikeA - candidate.codePointsA >= m_window && alikeB - candidate.codePointsB >= m_window;
}

// Walks both entries as long as their foldings decompose alike, and takes
// the last place that is followed by enough of that in both. The walk goes
// on from the `resumeAt`th place remembered, or from the start. Places past
// the remembered bytes are kept only until a later one is followed by
// enough, so that two long entries cost no memory to walk.
RestartPoint RestartPoints::walkSameText(const EntryCodePoints &a, const EntryCodePoints &b,
                                         qsizetype resumeAt)
{
    Candidate from = {0, 0, 0, 0};
    if (resumeAt > 0)
        from = m_candidates[size_t(resumeAt - 1)];
    m_candidates.resize(size_t(qMax(resumeAt - 1, qsizetype(0))));
    DecomposedReader x(a, m_pieces, from.a, from.codePointsA);
    DecomposedReader y(b, m_pieces, from.b, from.codePointsB);
    const qsizetype rememberedA = qMin(a.byteCount(), rememberedBytes);
    const qsizetype rememberedB = qMin(b.byteCount(), rememberedBytes);
    // Places past the remembered bytes: the last followed by enough, and
    // those after it, at most one for each code point of the window.
    std::optional<Candidate> settled;
    std::deque<Candidate> &pending = m_pending;
    pending.clear();
    // The code points read where both readers last ended a piece together.
    qsizetype alikeA = from.codePointsA;
    qsizetype alikeB = from.codePointsB;
    for (bool alike = true; alike;) {
        if (!x.pending() && !y.pending()) {
            alikeA = x.codePoints();
            alikeB = y.codePoints();
            while (!pending.empty() && followedByWindow(pending.front(), alikeA, alikeB)) {
                settled = pending.front();
                pending.pop_front();
            }
            const Candidate place = {x.position(), y.position(), alikeA, alikeB};
            const Piece *pieceA = x.read();
            const Piece *pieceB = y.read();
            if (!pieceA || !pieceB)
                break;
            if (pieceA->has(m_restart) && pieceB->has(m_restart) && (place.a > 0 || place.b > 0)) {
                if (place.a <= rememberedA && place.b <= rememberedB)
                    m_candidates.push_back(place);
                else
                    pending.push_back(place);
            }
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
    remember(m_walkedA, a.bytes().first(rememberedA));
    remember(m_walkedB, b.bytes().first(rememberedB));
    m_walkedEncodingA = a.encoding();
    m_walkedEncodingB = b.encoding();

    for (auto candidate = pending.rbegin(); candidate != pending.rend(); ++candidate) {
        if (followedByWindow(*candidate, alikeA, alikeB))
            return {candidate->a, candidate->b, false};
    }
    if (settled)
        return {settled->a, settled->b, false};
    for (auto candidate = m_candidates.rbegin(); candidate != m_candidates.rend(); ++candidate) {
        if (followedByWindow(*candidate, alikeA, alikeB))
            return {candidate->a, candidate->b, false};
    }
    return {};
}

} // namespace collation
