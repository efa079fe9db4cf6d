#pragma once

#include "piecereader.h"

#include <unicode/uiter.h>

#include <optional>
#include <string>
#include <string_view>

namespace collation {

class LocaleCollation;

// The text whose ICU sort key orders an entry: its case folding, with what
// the order rules add (see keybuilder.cpp), made as ICU reads it, so that
// the start of a key reads no more of a long entry than it takes.
//
// A text may fall into segments, each keyed on its own: where a combining
// mark would join the letter before it into a letter that sorts lower, the
// text before the mark is one segment, and the next begins at that letter.
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

    // The whole of the current segment.
    std::u16string_view segment();
    // An iterator over the current segment that makes the text only as far
    // as it is read. Valid until the next call of any other function.
    UCharIterator &segmentIterator();
    // Moves on to the next segment, or returns false at the end of the text.
    bool nextSegment();

    // Gives back the room a long text took.
    void shrink();

private:
    friend struct KeyTextIteration;

    bool available(qsizetype index);
    void makeMore();
    void put(const Piece &piece);
    void finish();
    qsizetype stableSize() const;

    enum class State { Making, SegmentDone, Ended };

    LocaleCollation &m_collation;
    PieceTable &m_pieces;
    std::optional<PieceReader> m_reader;
    // An entry of ASCII, which folds to lower case, a run at a time.
    std::optional<EntryCodePoints> m_ascii;
    State m_state = State::Ended;
    // The current segment's text; ICU reads the first m_released units,
    // which stay as they are.
    std::u16string m_units;
    qsizetype m_released = 0;
    // Where a segment ended: the mark that begins the next one after the
    // letter at m_nextSegmentAt.
    const Piece *m_waitingMark = nullptr;
    qsizetype m_nextSegmentAt = 0;
    quint8 m_previousClass = 0;
    bool m_beginsWithAlnum = false;
    UCharIterator m_iterator{};
};

} // namespace collation
