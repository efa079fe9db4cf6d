#pragma once

#include "localecollation.h"
#include "piecetable.h"
#include "simplekeys.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>

#include <memory>
#include <string>
#include <vector>

namespace collation {

// Builds the keys of texts from the pieces of their code points. A text
// whose pieces are simple gets its key written from their weights; any
// other text's comes from ICU's sort keys.
class KeyBuilder
{
public:
    explicit KeyBuilder(const QLocale &locale);
    ~KeyBuilder();
    KeyBuilder(const KeyBuilder &) = delete;
    KeyBuilder &operator=(const KeyBuilder &) = delete;

    // False under C and POSIX, where a key is the folded text alone.
    bool collates() const { return bool(m_collation); }
    // Appends the key of a text (see keysources.h) to `keys`.
    template<typename Source> void append(const Source &source, QByteArray &keys);

private:
    template<typename Source, typename F> void forEachPiece(const Source &source, F f);
    template<typename Source> void appendCollated(const Source &source, QByteArray &keys);
    void appendChunk(QByteArray &keys);
    void appendChunkSecondaries(QByteArray &keys);
    void startSegment(QByteArray &keys);
    template<typename Source> void appendFolded(const Source &source, QByteArray &keys);
    template<typename Source>
    void moveAboveSpaces(const Source &source, QByteArray &keys, qsizetype start);

    std::unique_ptr<LocaleCollation> m_collation;
    PieceTable m_pieces;
    SimpleKeys m_simple{m_pieces, m_collation && m_collation->backwardSecondaries()};
    // Scratch space of the key being built.
    std::u16string m_units;
    QByteArray m_chunkKey;
    QByteArray m_secondaries;
    std::vector<qsizetype> m_chunkEnds; // in m_secondaries
};

} // namespace collation
