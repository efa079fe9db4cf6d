#pragma once

#include "piecetable.h"
#include "sortkeywriter.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>

namespace collation {

// Writes the key of a text whose pieces are all simple from their weights,
// without asking ICU: the same bytes ICU's sort key and the folding give.
class SimpleKeys
{
public:
    // With backward secondaries, only texts whose accents are common
    // weights, the same forwards and backwards, are written.
    SimpleKeys(PieceTable &pieces, bool backwardSecondaries)
        : m_pieces(pieces)
        , m_backwardSecondaries(backwardSecondaries)
    { }

    // The key of a short ASCII text whose characters are all plain and need
    // no neighbour. False, appending nothing, for any other text.
    bool appendPlainAscii(QByteArrayView bytes, QByteArray &keys);
    // Appends the key of a text (see keysources.h), or returns false,
    // appending nothing, when ICU must weigh it.
    template<typename Source> bool append(const Source &source, QByteArray &keys);

private:
    template<bool chunked, typename Source, typename Out, typename Fold>
    bool write(const Source &source, SortKeyWriter<Out> &writer, Fold &fold);

    PieceTable &m_pieces;
    const bool m_backwardSecondaries;
    // The primary weight of each ASCII character that is plain and needs no
    // neighbour, else 0, and its folding; not yet known while the first
    // primary is unknownAscii.
    static constexpr quint16 unknownAscii = 0xFFFF;
    struct Ascii
    {
        quint16 primary;
        char folded;
    };
    std::array<Ascii, 0x80> m_ascii{Ascii{unknownAscii, 0}};
    // Scratch space of the key being written.
    QByteArray m_secondaries;
    QByteArray m_folded;
};

} // namespace collation
