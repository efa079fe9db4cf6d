#include "keybuilder.h"

#include "foldedtext.h"

#include <algorithm>
#include <cstring>

namespace collation {

// A key has three parts, each compared only when the ones before are equal:
//   the locale's weights of the case-folded text: ICU's sort key at
//   secondary strength, without its terminating zero byte;
//   0x00;
//   the foldings (see ComposedFolding): the text as a person reads it, then
//   as written.
// A sort key never holds a zero byte, so a text whose weights are the
// beginning of another's sorts first. The foldings tell apart texts that
// the locale finds equal, so equal keys mean equal folded texts, and a text
// sorts before the same text followed by ignorable characters (NUL, soft
// hyphen). Under C the key is the foldings alone.
//
// Where the locale counts accents from the end (Canadian French), the
// weights are ICU's primary weights, 0x01, and the accents' weights from
// the last letter on (see BackwardAccents).
//
// The weights are ICU's own, of the text KeyText makes as ICU reads it.
// The locale's own order is overruled in these places:
//   - A text that ends in the beginning of a contraction whose completion
//     sorts before it, such as a Thai leading vowel, is weighed with its
//     lowest continuation, so that it sorts just before the texts that
//     begin with it.
//   - A text that begins with a letter or digit the locale gives no weight
//     (ARABIC TATWEEL), or one below a space, is moved to just above every
//     text that begins with a space.
//   - Where a combining mark would join the letter before it into a letter
//     that sorts lower, without composing one, the text before the mark is
//     weighed on its own, as that text alone would be, then 0x01, then the
//     weights of the rest from that letter on, so the text sorts right
//     after its beginning.
//
// Only the first bytes of a key are ever built, once for each entry. Where
// two entries' starts tie, compare() orders them as their whole keys
// would, reading the two texts only as far as they differ: ICU compares
// the weights through the iterators it builds sort keys with, and the
// foldings are compared code point by code point. Nothing of keys is kept.

namespace {

int compareAscii(QByteArrayView x, QByteArrayView y)
{
    const qsizetype size = std::min(x.size(), y.size());
    for (qsizetype at = 0; at < size; ++at) {
        const auto lower = [](char c) {
            return uchar(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        };
        if (lower(x[at]) != lower(y[at]))
            return lower(x[at]) < lower(y[at]) ? -1 : 1;
    }
    return x.size() == y.size() ? 0 : x.size() < y.size() ? -1 : 1;
}

} // namespace

KeyBuilder::KeyBuilder(const QLocale &locale)
    : m_collation(locale.language() == QLocale::C ? nullptr : LocaleCollation::open(locale))
    , m_pieces(m_collation.get(),
               locale.language() == QLocale::Turkish || locale.language() == QLocale::Azerbaijani)
    , m_restarts(m_pieces, bool(m_collation),
                 !m_pieces.turkic() && !(m_collation && m_collation->backwardSecondaries()))
{
    if (m_collation) {
        m_text = std::make_unique<KeyText>(*m_collation, m_pieces);
        m_other = std::make_unique<KeyText>(*m_collation, m_pieces);
        if (m_collation->backwardSecondaries())
            m_accents = std::make_unique<BackwardAccents>(*m_collation);
    }
}

KeyBuilder::~KeyBuilder() = default;

bool KeyBuilder::appendStart(const EntryCodePoints &source, QByteArray &key, qsizetype size)
{
    const qsizetype start = key.size();
    if (!m_collation) {
        if (appendFoldings(source, m_pieces, key, start + size) && key.size() - start <= size)
            return true;
        key.truncate(start + size);
        return false;
    }
    const QByteArrayView limit = m_collation->spaceLimit();
    // A key may need more than `size` bytes of the weights to show whether
    // it sorts below a space.
    const qsizetype wanted = std::max(size, limit.size());
    m_text->reset(source);
    const bool weighed = appendWeights(key, start + wanted);

    const QByteArrayView weights = QByteArrayView(key).sliced(start);
    const QByteArrayView compared = weights.first(std::min(weights.size(), limit.size()));
    if (m_text->beginsWithAlnum()
        && std::lexicographical_compare(compared.begin(), compared.end(), limit.begin(),
                                        limit.end(),
                                        [](char a, char b) { return uchar(a) < uchar(b); })) {
        key.insert(start, limit);
        key.insert(start + limit.size(), '\0');
    }
    if (weighed) {
        key += '\0';
        if (appendFoldings(source, m_pieces, key, start + size) && key.size() - start <= size)
            return true;
    }
    key.truncate(start + size);
    return false;
}

// Appends the weights of the text segment by segment, up to `until` at
// least; returns whether they are all there.
bool KeyBuilder::appendWeights(QByteArray &key, qsizetype until)
{
    for (;;) {
        if (!m_collation->appendSortKeyStart(m_text->segmentIterator(), until - key.size(), key))
            return false;
        if (m_accents) {
            key += '\x01';
            if (!m_accents->append(*m_text, key, until))
                return false;
        }
        if (!m_text->nextSegment())
            return true;
        key += '\x01';
        if (key.size() >= until)
            return false;
    }
}

int KeyBuilder::compare(const EntryCodePoints &a, const EntryCodePoints &b)
{
    const qsizetype sameBytes = commonPrefix(a.bytes(), b.bytes());
    if (sameBytes == a.byteCount() && sameBytes == b.byteCount())
        return 0;
    if (!m_collation && a.encoding() == EntryEncoding::Ascii
        && b.encoding() == EntryEncoding::Ascii)
        return compareAscii(a.bytes().sliced(sameBytes), b.bytes().sliced(sameBytes));
    if (const RestartPoint restart = m_restarts.find(a, b, sameBytes); restart.found()) {
        bool undecided = false;
        const EntryCodePoints restartedA = a.from(restart.a);
        const EntryCodePoints restartedB = b.from(restart.b);
        const int order = compareFrom(restartedA, restartedB, restart.sameBytes ? restartedA : a,
                                      restart.sameBytes ? restartedB : b, &undecided);
        if (!undecided)
            return order;
    }
    return compareFrom(a, b, a, b, nullptr);
}

// Orders two texts by their weights and their foldings, or what two texts
// hold after the same beginning: then, where accents count from the end, a
// difference in the accents before may decide, and the order is
// `undecided`. The foldings as written are compared from `writtenA` and
// `writtenB` on.
int KeyBuilder::compareFrom(const EntryCodePoints &a, const EntryCodePoints &b,
                            const EntryCodePoints &writtenA, const EntryCodePoints &writtenB,
                            bool *undecided)
{
    if (m_collation) {
        m_text->reset(a);
        m_other->reset(b);
        for (bool first = true;; first = false) {
            int order = m_collation->compare(m_text->segmentIterator(), m_other->segmentIterator());
            if (order == 0 && m_accents)
                order = m_accents->compare(*m_text, *m_other, first ? undecided : nullptr);
            if (order != 0)
                return order;
            const bool moreA = m_text->nextSegment();
            const bool moreB = m_other->nextSegment();
            if (moreA != moreB)
                return moreA ? 1 : -1;
            if (!moreA)
                break;
        }
    }
    return compareFoldings(a, b, writtenA, writtenB, m_pieces);
}

} // namespace collation
