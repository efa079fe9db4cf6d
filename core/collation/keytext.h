#pragma once

#include "piecereader.h"

#include <unicode/uiter.h>

#include <optional>
#include <string>
#include <string_view>

namespace collation {

class LocaleCollation;

// The text whose ICU weights order an entry: its case folding, with what
// the order rules add (see keybuilder.cpp), made as ICU reads it, so that
// the start of a key reads no more of a long entry than it takes.
//
// A text may fall into segments, each weighed on its own: where a combining
// mark would join the letter before it into a letter that sorts lower, the
// text before the mark is one segment, weighed as if it were the whole
// text, and the next begins at that letter.
//
// Only the last stretch of a long segment is kept; what ICU reads again
// from further back is made again from the segment's start.
class KeyText
{
public:
    KeyText(LocaleCollation &collation, PieceTable &pieces);
    KeyText(const KeyText &) = delete;
    KeyText &operator=(const KeyText &) = delete;

    // Starts on an entry, at its first segment.
    void reset(const EntryCodePoints &source);
    // Whether the entry's first code point is a letter or digit.
    bool beginsWithAlnum() const { return m_beginsWithAlnum; }

    // An iterator over the current segment from its start, which makes the
    // text only as far as it is read. Valid until the next call of any
    // other function but unit() and available().
    UCharIterator &segmentIterator();
    // Moves on to the next segment, or returns false at the end of the text.
    bool nextSegment();

    // Whether the current segment's unit at `index` is there, making the
    // text up to it if need be; then unit() reads it.
    bool available(qsizetype index)
    {
        if (size_t(index - m_base) < m_units.size()) [[likely]]
            return true;
        return makeUpTo(index);
    }
    char16_t unit(qsizetype index) const { return m_units[size_t(index - m_base)]; }
    // Makes the rest of the current segment; returns whether all of it is
    // kept, and its size.
    bool wholeSegment(qsizetype &size)
    {
        makeAll();
        size = made();
        return m_base == 0;
    }

private:
    friend struct KeyTextIteration;

    // Where a segment after the first starts: what it begins with and
    // where the entry's code points go on, so that it can be made again.
    struct SegmentStart
    {
        std::optional<PieceReader> reader;
        std::u16string units;
        quint8 previousClass = 0;
    };

    enum class State { Making, SegmentDone, Ended };

    qsizetype made() const { return m_base + qsizetype(m_units.size()); }
    bool makeUpTo(qsizetype index);
    void makeAll();
    void restartSegment();
    void makeMore();
    void makeAscii();
    void append(std::u16string_view units);
    void put(const Piece &piece);
    void endSegment();
    void finish();
    void forgetOld();

    LocaleCollation &m_collation;
    PieceTable &m_pieces;
    std::optional<EntryCodePoints> m_source;
    // Empty in the first segment.
    SegmentStart m_segmentStart;
    std::optional<PieceReader> m_reader;
    // An entry of ASCII, which folds to lower case, a run at a time.
    std::optional<EntryCodePoints> m_ascii;
    State m_state = State::Ended;
    // The current segment's text from unit m_base on; what came before it
    // is forgotten.
    std::u16string m_units;
    qsizetype m_base = 0;
    // Where the last letter (a code point that is no combining mark) made
    // begins, and where the segment's own text ends, before what finish()
    // or endSegment() adds to it.
    qsizetype m_lastLetterAt = 0;
    qsizetype m_textEnd = 0;
    // Where a segment ended: the mark that begins the next one.
    const Piece *m_waitingMark = nullptr;
    quint8 m_previousClass = 0;
    bool m_beginsWithAlnum = false;
    UCharIterator m_iterator{};
};

} // namespace collation
