#pragma once

#include "keycheck.h"
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
    // Keys written without ICU are held against `reference` at first use,
    // ICU's own keys when it is empty.
    explicit KeyBuilder(const QLocale &locale, ReferenceKey reference = {});
    ~KeyBuilder();
    KeyBuilder(const KeyBuilder &) = delete;
    KeyBuilder &operator=(const KeyBuilder &) = delete;

    // False under C and POSIX, where a key is the folded text alone.
    bool collates() const { return bool(m_collation); }
    // Whether keys are written from the pieces' weights, as far as they can
    // be; known once a key was built.
    bool writesKeys() const { return m_writesKeys; }
    // Appends the key of a text (see keysources.h) to `keys`.
    template<typename Source> void append(const Source &source, QByteArray &keys);
    // Appends the first `size` bytes of the key of a text and returns false;
    // or, when no head of the text short enough gives them, its whole key
    // and returns true.
    template<typename Source>
    bool appendStart(const Source &source, QByteArray &keys, qsizetype size);

private:
    template<typename Source> qsizetype headEnd(const Source &source, qsizetype codePoints);
    template<typename Source> void appendFromIcu(const Source &source, QByteArray &keys);
    void checkWrittenKeys();
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
    ReferenceKey m_reference;
    bool m_writtenKeysChecked = false;
    bool m_writesKeys = true;
    // Scratch space of the key being built.
    std::u16string m_units;
    QByteArray m_chunkKey;
    QByteArray m_secondaries;
    std::vector<qsizetype> m_chunkEnds; // in m_secondaries
};

} // namespace collation
