#include "keybuilder.h"

#include "piecereader.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace collation {

// A key has three parts, each compared only when the ones before are equal:
//   the locale's sort key of the case-folded text, at secondary strength,
//   0x00,
//   the case-folded text as UTF-8.
// A sort key never holds a zero byte, so a text whose sort key is the
// beginning of another's sorts first. The last part tells apart texts that
// the locale finds equal, so equal keys mean equal folded texts, and a text
// sorts before the same text followed by ignorable characters (NUL, soft
// hyphen). Under C the key is the folded text alone.
//
// The sort key is ICU's own: a whole one from ucol_getSortKey(), the start
// of one from ucol_nextSortKeyPart(), which gives the same bytes and reads
// no more of the text than they take. The locale's own order is overruled
// in these places (see KeyText for the text ICU reads):
//   - A text that ends in the beginning of a contraction whose completion
//     sorts before it, such as a Thai leading vowel, gets the sort key of
//     its lowest continuation, so that it sorts just before the texts that
//     begin with it.
//   - A text that begins with a letter or digit the locale gives no weight
//     (ARABIC TATWEEL), or one below a space, is moved to just above every
//     text that begins with a space.
//   - Where a combining mark would join the letter before it into a letter
//     that sorts lower, without composing one, the text before the mark is
//     keyed on its own, then 0x01, then the key of the rest from that letter
//     on, so the text sorts right after its beginning.
//   - Where the locale compares accents from the end, those of the last
//     letter count in the order written, so that a mark added after a mark
//     extends the key.

namespace {

// A folding longer than this is measured before it is written, rather than
// given room for the longest folding of every code point.
constexpr qsizetype measuredFolding = 32 * 1024;

} // namespace

KeyBuilder::KeyBuilder(const QLocale &locale)
    : m_collation(locale.language() == QLocale::C ? nullptr : LocaleCollation::open(locale))
    , m_pieces(m_collation.get(),
               locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani)
{
    if (m_collation)
        m_text = std::make_unique<KeyText>(*m_collation, m_pieces);
}

KeyBuilder::~KeyBuilder() = default;

bool KeyBuilder::appendStart(const EntryCodePoints &source, QByteArray &keys, qsizetype size)
{
    const qsizetype start = keys.size();
    if (!m_collation) {
        if (appendFolded(source, keys, start + size))
            return true;
        keys.truncate(start + size);
        return false;
    }
    const QByteArrayView limit = m_collation->spaceLimit();
    // A key may need more than `size` bytes of the sort key to show whether
    // it sorts below a space.
    const qsizetype wanted = std::max(size, limit.size());
    // Even for a short entry, the start of a key costs ICU less than the
    // whole key, and most starts differ. ICU makes at most this much of a
    // key at a time; more is the whole key.
    const bool whole = start + wanted >= std::numeric_limits<int32_t>::max();
    m_text->reset(source);
    const bool weighed = appendWeights(keys, whole ? -1 : start + wanted, whole);
    m_text->shrink();

    const QByteArrayView weights = QByteArrayView(keys).sliced(start);
    const QByteArrayView compared = weights.first(std::min(weights.size(), limit.size()));
    if (m_text->beginsWithAlnum()
        && std::lexicographical_compare(compared.begin(), compared.end(), limit.begin(),
                                        limit.end(),
                                        [](char a, char b) { return uchar(a) < uchar(b); })) {
        keys.insert(start, limit);
        keys.insert(start + limit.size(), '\0');
    }
    if (weighed) {
        keys += '\0';
        if (appendFolded(source, keys, whole ? -1 : start + size)
            && (whole || keys.size() - start <= size))
            return true;
    }
    keys.truncate(start + size);
    return false;
}

// Appends the sort key of the text segment by segment, up to `until` at
// least; returns whether it is all there. All of it when `whole`.
bool KeyBuilder::appendWeights(QByteArray &keys, qsizetype until, bool whole)
{
    for (;;) {
        bool segmentEnded = true;
        if (whole)
            m_collation->appendSortKey(m_text->segment(), keys);
        else
            segmentEnded = m_collation->appendSortKeyStart(m_text->segmentIterator(),
                                                           until - keys.size(), keys);
        if (!segmentEnded)
            return false;
        if (!m_text->nextSegment())
            return true;
        keys += '\x01';
        if (!whole && keys.size() >= until)
            return false;
    }
}

// Appends the folded text, or as much of it as takes the keys past `until`
// (-1: no end); returns whether it is all there.
bool KeyBuilder::appendFolded(const EntryCodePoints &source, QByteArray &keys, qsizetype until)
{
    const qsizetype start = keys.size();
    if (source.encoding() == EntryEncoding::Ascii && !m_pieces.turkic()) {
        // ASCII folds to lower case, byte for byte.
        const qsizetype size = until < 0 ? source.byteCount()
                                         : qMin(source.byteCount(), qMax(until - start, 0) + 1);
        keys.resize(start + size);
        std::transform(source.bytes().begin(), source.bytes().begin() + size, keys.begin() + start,
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; });
        return size == source.byteCount();
    }
    // Room for a whole piece after the last: every code point folds to at
    // least one byte and at most sizeof(Piece::utf8). A long text's whole
    // folding is measured first rather than given that much room.
    const qsizetype room = qsizetype(sizeof(Piece::utf8));
    qsizetype most = source.byteCount() * room;
    if (until >= 0) {
        most = std::min(most, std::max<qsizetype>(until - start, 0) + 1 + room);
    } else if (source.byteCount() > measuredFolding) {
        most = room;
        PieceReader measure(source, m_pieces);
        while (const Piece *piece = measure.next())
            most += piece->utf8Size;
    }
    keys.resize(start + most);
    PieceReader reader(source, m_pieces);
    qsizetype at = start;
    while (const Piece *piece = reader.next()) {
        if (until >= 0 && at > until) {
            keys.truncate(at);
            return false;
        }
        std::memcpy(keys.data() + at, piece->utf8, sizeof piece->utf8);
        at += piece->utf8Size;
    }
    keys.truncate(at);
    return true;
}

} // namespace collation
