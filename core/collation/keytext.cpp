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
// a letter a byte and one more, to see that no contraction goes on. A run
// short of that makes a second one for most entries. Where accents count
// from the end, the last letter made waits for the next one (stableSize()):
// the run is one longer there, so that as many are released.
constexpr qsizetype runSize = 9;
constexpr qsizetype backwardRunSize = runSize + 1;
// ASCII costs less to make, and more of it at once.
constexpr qsizetype asciiRunSize = 64;

// Where the last letter of `text` begins: its last code point that is no
// combining mark, or 0.
qsizetype lastLetterAt(std::u16string_view text)
{
    auto at = int32_t(text.size());
    while (at > 0) {
        UChar32 c;
        U16_PREV(text.data(), 0, at, c);
        if (!isCombiningMark(c))
            break;
    }
    return at;
}

} // namespace

// ICU reads the text through these: it starts from the beginning for every
// part of a key it is asked for, looks back a few code points where a
// contraction may begin, and stops where a key's start is complete.
struct KeyTextIteration
{
    static KeyText &text(UCharIterator *iterator)
    {
        return *static_cast<KeyText *>(const_cast<void *>(iterator->context));
    }

    static int32_t end(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        keyText.available(std::numeric_limits<qsizetype>::max());
        return int32_t(keyText.m_released);
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
        KeyText &keyText = text(iterator);
        if (to > 0 && !keyText.available(to - 1))
            to = keyText.m_released;
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
        return keyText.available(iterator->index) ? keyText.m_units[size_t(iterator->index)]
                                                  : U_SENTINEL;
    }

    // ICU calls this for every unit it reads: what is made already is
    // returned without the cost of a call to make more.
    static UChar32 next(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        if (iterator->index < keyText.m_released) [[likely]]
            return keyText.m_units[size_t(iterator->index++)];
        return makeNext(iterator);
    }

    Q_NEVER_INLINE static UChar32 makeNext(UCharIterator *iterator)
    {
        KeyText &keyText = text(iterator);
        if (keyText.available(iterator->index))
            return keyText.m_units[size_t(iterator->index++)];
        return U_SENTINEL;
    }

    static UChar32 previous(UCharIterator *iterator)
    {
        return iterator->index > 0 ? text(iterator).m_units[size_t(--iterator->index)] : U_SENTINEL;
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
    m_reader.emplace(source, m_pieces);
    m_ascii.reset();
    if (source.encoding() == EntryEncoding::Ascii && !m_pieces.turkic())
        m_ascii = source;
    m_state = State::Making;
    m_units.clear();
    m_released = 0;
    m_waitingMark = nullptr;
    m_previousClass = 0;
}

std::u16string_view KeyText::segment()
{
    available(std::numeric_limits<qsizetype>::max());
    return m_units;
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
    available(std::numeric_limits<qsizetype>::max());
    if (m_state == State::Ended)
        return false;
    m_units.erase(0, size_t(m_nextSegmentAt));
    m_units.append(m_waitingMark->utf16, m_waitingMark->utf16Size);
    m_previousClass = m_waitingMark->trailingClass;
    m_state = State::Making;
    m_released = 0;
    m_released = stableSize();
    return true;
}

void KeyText::shrink()
{
    if (m_units.capacity() > 64 * 1024)
        m_units = {};
}

// Whether the unit at `index` of the current segment is there to read,
// making the text up to it if need be.
bool KeyText::available(qsizetype index)
{
    while (index >= m_released && m_state == State::Making)
        makeMore();
    return index < m_released;
}

void KeyText::makeMore()
{
    // ASCII has no marks: nothing to keep apart, nothing a mark could join.
    if (m_ascii) {
        if (m_ascii->atEnd()) {
            finish();
            return;
        }
        const QByteArrayView run = m_ascii->nextAscii(asciiRunSize);
        const size_t size = m_units.size();
        m_units.resize(size + size_t(run.size()));
        std::transform(run.begin(), run.end(), m_units.begin() + qsizetype(size),
                       [](char c) { return char16_t(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); });
        m_released = stableSize();
        return;
    }
    // Letters that the rules leave alone are gathered into a run and
    // appended at once; what else comes, one by one.
    const qsizetype letters = m_collation.backwardSecondaries() ? backwardRunSize : runSize;
    qsizetype made = 0;
    while (made < letters) {
        char16_t run[backwardRunSize * std::size(Piece().utf16)];
        size_t size = 0;
        const Piece *piece = nullptr;
        for (; made < letters; ++made) {
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
            m_units.append(run, size);
            m_previousClass = 0;
        }
        if (made == letters)
            break;
        ++made;
        if (!piece) {
            finish();
            return;
        }
        put(*piece);
        if (m_state != State::Making)
            return;
    }
    if (m_state == State::Making)
        m_released = std::max(m_released, stableSize());
}

void KeyText::put(const Piece &piece)
{
    // Marks out of their canonical order are kept apart by an ignorable
    // COMBINING GRAPHEME JOINER: else ICU could join a mark that follows an
    // entry to a contraction before the entry's own last marks, and the
    // longer entry could sort first. NFC and NFD never need one.
    if (piece.leadingClass != 0 && piece.leadingClass < m_previousClass)
        m_units += combiningGraphemeJoiner;
    const std::u16string_view units(piece.utf16, piece.utf16Size);
    const Piece *following = piece.has(Piece::MayJoin) ? m_reader->peek() : nullptr;
    const std::u16string_view followingUnits = following
            ? std::u16string_view(following->utf16, following->utf16Size)
            : std::u16string_view();
    if (piece.has(Piece::MayJoin) && m_collation.joinsLower(m_units, units, followingUnits)) {
        m_waitingMark = &piece;
        m_nextSegmentAt = lastLetterAt(m_units);
        m_released = qsizetype(m_units.size());
        m_state = State::SegmentDone;
        return;
    }
    m_units += units;
    m_previousClass = piece.trailingClass;
    m_released = std::max(m_released, stableSize());
}

void KeyText::finish()
{
    m_units += m_collation.lowestContinuation(m_units);
    if (m_collation.backwardSecondaries())
        m_collation.reverseLastMarks(m_units);
    m_released = qsizetype(m_units.size());
    m_state = State::Ended;
}

// How much of the text is as it will stay. Where accents count from the
// end, the last letter's marks are written in reverse once the text ends,
// so the last letter waits for the next one.
qsizetype KeyText::stableSize() const
{
    if (!m_collation.backwardSecondaries())
        return qsizetype(m_units.size());
    auto at = int32_t(m_units.size());
    while (at > 0) {
        UChar32 c;
        U16_PREV(m_units.data(), 0, at, c);
        if (!isCombiningMark(c) && c != combiningGraphemeJoiner)
            break;
    }
    return at;
}

} // namespace collation
