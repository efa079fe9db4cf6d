#include "keytext.h"

#include "icu.h"
#include "localecollation.h"

#include <unicode/utf16.h>

#include <algorithm>
#include <limits>

namespace collation {

namespace {

constexpr char16_t combiningGraphemeJoiner = u'\u034F';

// The text is made this many code points at a time, about what the start
// of a key takes: for the eight bytes of an entry's start ICU mostly reads
// a letter a byte and one more, to see that no contraction goes on.
constexpr qsizetype runSize = 9;
// ASCII costs less to make, and more of it at once.
constexpr qsizetype asciiRunSize = 64;
// Of a long segment, this much is kept behind what was made last: what
// ICU looks back at, and what the rules look at, is much less.
constexpr qsizetype keptUnits = 64 * 1024;
// A segment that a joining mark begins starts at the letter before the
// mark, but no further back than this.
constexpr qsizetype segmentLookBack = 4096;
// ICU counts the units of a text in 32 bits.
constexpr qsizetype mostUnits = std::numeric_limits<int32_t>::max() - 1;

// Where the last letter of `units` begins: its last code point that is no
// combining mark, or -1.
qsizetype lastLetterIn(std::u16string_view units)
{
    auto at = int32_t(units.size());
    while (at > 0) {
        UChar32 c;
        U16_PREV(units.data(), 0, at, c);
        if (!isCombiningMark(c))
            return at;
    }
    return -1;
}

} // namespace

// ICU reads the text through these: it starts from the beginning for every
// part of a key it is asked for, looks back a few code points where a
// contraction may begin, and stops where a key's start is complete or two
// texts differ.
struct KeyTextIteration
{
    static KeyText &text(UCharIterator *iterator)
    {
        return *static_cast<KeyText *>(const_cast<void *>(iterator->context));
    }

    static int32_t end(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        keyText.makeAll();
        return int32_t(std::min(keyText.made(), mostUnits));
    }

    static int32_t getIndex(UCharIterator *iterator, UCharIteratorOrigin origin)
    {
        switch (origin) {
        case UITER_ZERO:
        case UITER_START:
            return 0;
        case UITER_CURRENT:
            return iterator->index;
        case UITER_LIMIT:
        case UITER_LENGTH:
            break;
        }
        return end(iterator);
    }

    static int32_t move(UCharIterator *iterator, int32_t delta, UCharIteratorOrigin origin)
    {
        const qsizetype base = origin == UITER_CURRENT            ? iterator->index
                : origin == UITER_LIMIT || origin == UITER_LENGTH ? end(iterator)
                                                                  : 0;
        qsizetype to = std::max<qsizetype>(base + delta, 0);
        // The end itself is a place to be, after the last unit.
        KeyText &keyText = text(iterator);
        if (to > 0 && !keyText.available(to - 1))
            to = std::min(keyText.made(), mostUnits);
        iterator->index = int32_t(to);
        return iterator->index;
    }

    static UBool hasNext(UCharIterator *iterator)
    {
        return text(iterator).available(iterator->index);
    }

    static UBool hasPrevious(UCharIterator *iterator) { return iterator->index > 0; }

    static UChar32 current(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        return keyText.available(iterator->index) ? keyText.unit(iterator->index) : U_SENTINEL;
    }

    // ICU calls this for every unit it reads: what is made already is
    // returned without the cost of a call to make more.
    static UChar32 next(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        const auto at = size_t(iterator->index - keyText.m_base);
        if (at < keyText.m_units.size()) [[likely]] {
            ++iterator->index;
            return keyText.m_units[at];
        }
        return makeNext(iterator);
    }

    Q_NEVER_INLINE static UChar32 makeNext(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        if (keyText.available(iterator->index))
            return keyText.unit(iterator->index++);
        return U_SENTINEL;
    }

    static UChar32 previous(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        if (iterator->index == 0 || !keyText.available(iterator->index - 1))
            return U_SENTINEL;
        return keyText.unit(--iterator->index);
    }

    static int32_t reserved(UCharIterator *, int32_t) { return 0; }

    static uint32_t getState(const UCharIterator *iterator) { return uint32_t(iterator->index); }

    static void setState(UCharIterator *iterator, uint32_t state, UErrorCode *)
    {
        move(iterator, int32_t(state), UITER_ZERO);
    }
};

KeyText::KeyText(LocaleCollation &collation, PieceTable &pieces)
    : m_collation(collation)
    , m_pieces(pieces)
{
    m_iterator.context = this;
    m_iterator.getIndex = KeyTextIteration::getIndex;
    m_iterator.move = KeyTextIteration::move;
    m_iterator.hasNext = KeyTextIteration::hasNext;
    m_iterator.hasPrevious = KeyTextIteration::hasPrevious;
    m_iterator.current = KeyTextIteration::current;
    m_iterator.next = KeyTextIteration::next;
    m_iterator.previous = KeyTextIteration::previous;
    m_iterator.reservedFn = KeyTextIteration::reserved;
    m_iterator.getState = KeyTextIteration::getState;
    m_iterator.setState = KeyTextIteration::setState;
}

void KeyText::reset(const EntryCodePoints &source)
{
    EntryCodePoints first = source;
    m_beginsWithAlnum = !first.atEnd() && m_pieces[first.next()].has(Piece::Alnum);
    m_source = source;
    m_segmentStart.reader.reset();
    restartSegment();
}

UCharIterator &KeyText::segmentIterator()
{
    m_iterator.length = -1;
    m_iterator.start = 0;
    m_iterator.index = 0;
    m_iterator.limit = -1;
    return m_iterator;
}

bool KeyText::nextSegment()
{
    makeAll();
    if (m_state == State::Ended)
        return false;
    const qsizetype from = std::max(m_lastLetterAt, m_textEnd - segmentLookBack);
    std::u16string units(
            std::u16string_view(m_units).substr(size_t(from - m_base), size_t(m_textEnd - from)));
    units.append(m_waitingMark->utf16, m_waitingMark->utf16Size);
    m_segmentStart.units = std::move(units);
    m_segmentStart.previousClass = m_waitingMark->trailingClass;
    m_segmentStart.reader.emplace(*m_reader);
    restartSegment();
    return true;
}

// What ICU reads again from before what is kept is made again.
bool KeyText::makeUpTo(qsizetype index)
{
    if (index < 0 || index >= mostUnits)
        return false;
    if (index < m_base)
        restartSegment();
    while (index >= made() && m_state == State::Making)
        makeMore();
    return index < made();
}

void KeyText::makeAll()
{
    while (m_state == State::Making)
        makeMore();
}

void KeyText::restartSegment()
{
    if (m_segmentStart.reader) {
        m_reader.emplace(*m_segmentStart.reader);
        m_ascii.reset();
        m_units = m_segmentStart.units;
        m_lastLetterAt = std::max<qsizetype>(lastLetterIn(m_units), 0);
        m_previousClass = m_segmentStart.previousClass;
    } else {
        m_reader.emplace(*m_source, m_pieces);
        m_ascii.reset();
        if (m_source->encoding() == EntryEncoding::Ascii && !m_pieces.turkic())
            m_ascii = m_source;
        m_units.clear();
        m_lastLetterAt = 0;
        m_previousClass = 0;
    }
    m_base = 0;
    m_textEnd = made();
    m_waitingMark = nullptr;
    m_state = State::Making;
}

void KeyText::makeMore()
{
    if (m_ascii) {
        makeAscii();
        forgetOld();
        return;
    }
    // Letters that the rules leave alone are gathered into a run and
    // appended at once; what else comes, one by one.
    qsizetype read = 0;
    while (read < runSize) {
        char16_t run[runSize * std::size(Piece().utf16)];
        size_t size = 0;
        const Piece *piece = nullptr;
        for (; read < runSize; ++read) {
            piece = m_reader->next();
            if (!piece || !piece->has(Piece::Plain))
                break;
            // All of the piece's units, fewer often being of use.
            run[size] = piece->utf16[0];
            run[size + 1] = piece->utf16[1];
            run[size + 2] = piece->utf16[2];
            size += piece->utf16Size;
        }
        if (size > 0) {
            // Plain pieces end in a letter.
            m_units.append(run, size);
            m_lastLetterAt = made() - (U16_IS_TRAIL(run[size - 1]) ? 2 : 1);
            m_textEnd = made();
            m_previousClass = 0;
        }
        if (read == runSize)
            break;
        ++read;
        if (!piece) {
            finish();
            return;
        }
        put(*piece);
        if (m_state != State::Making)
            return;
    }
    forgetOld();
}

// ASCII has no marks: nothing to keep apart, nothing a mark could join.
void KeyText::makeAscii()
{
    if (m_ascii->atEnd()) {
        finish();
        return;
    }
    const QByteArrayView run = m_ascii->nextAscii(asciiRunSize);
    const size_t size = m_units.size();
    m_units.resize(size + size_t(run.size()));
    std::transform(run.begin(), run.end(), m_units.begin() + qsizetype(size),
                   [](char c) { return char16_t(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
    m_lastLetterAt = made() - 1;
    m_textEnd = made();
}

void KeyText::append(std::u16string_view units)
{
    const qsizetype at = made();
    m_units.append(units);
    if (const qsizetype letter = lastLetterIn(units); letter >= 0)
        m_lastLetterAt = at + letter;
    m_textEnd = made();
}

void KeyText::put(const Piece &piece)
{
    // Marks out of their canonical order are kept apart by an ignorable
    // COMBINING GRAPHEME JOINER: else ICU could join a mark that follows an
    // entry to a contraction before the entry's own last marks, and the
    // longer entry could sort first. NFC and NFD never need one, nor do
    // marks of one class, which keep their order in every form.
    if (piece.leadingClass != 0 && piece.leadingClass < m_previousClass)
        append(std::u16string_view(&combiningGraphemeJoiner, 1));
    const std::u16string_view units(piece.utf16, piece.utf16Size);
    if (piece.has(Piece::MayJoin)) {
        const Piece *following = m_reader->peek();
        const std::u16string_view followingUnits = following
                ? std::u16string_view(following->utf16, following->utf16Size)
                : std::u16string_view();
        if (m_collation.joinsLower(m_units, units, followingUnits)) {
            m_waitingMark = &piece;
            endSegment();
            return;
        }
    }
    append(units);
    m_previousClass = piece.trailingClass;
}

// The text before a joining mark is weighed as that text alone would be:
// the entry with the mark then comes right after the entry without it,
// wherever the rules put that one.
void KeyText::endSegment()
{
    m_units += m_collation.lowestContinuation(m_units);
    m_state = State::SegmentDone;
}

void KeyText::finish()
{
    m_units += m_collation.lowestContinuation(m_units);
    m_state = State::Ended;
}

void KeyText::forgetOld()
{
    if (qsizetype(m_units.size()) <= 2 * keptUnits)
        return;
    const qsizetype forgotten = qsizetype(m_units.size()) - keptUnits;
    m_units.erase(0, size_t(forgotten));
    m_base += forgotten;
}

} // namespace collation
