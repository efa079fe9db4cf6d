#pragma once

#include "entrycodepoints.h"
#include "keytext.h"
#include "localecollation.h"
#include "piecetable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>

#include <memory>

namespace collation {

// Builds the keys of entries, or their starts, from ICU's sort keys of
// their folded text.
class KeyBuilder
{
public:
    explicit KeyBuilder(const QLocale &locale);
    ~KeyBuilder();
    KeyBuilder(const KeyBuilder &) = delete;
    KeyBuilder &operator=(const KeyBuilder &) = delete;

    // False under C and POSIX, where a key is the folded text alone.
    bool collates() const { return bool(m_collation); }
    // Appends the whole key of an entry and returns true when it is no
    // longer than `size` bytes; else appends the key's first `size` bytes
    // and returns false, having read no more of the entry than they take.
    // Under C the whole key may be longer than `size`.
    bool appendStart(const EntryCodePoints &source, QByteArray &keys, qsizetype size);

private:
    bool appendWeights(QByteArray &keys, qsizetype until, bool whole);
    bool appendFolded(const EntryCodePoints &source, QByteArray &keys, qsizetype until);

    std::unique_ptr<LocaleCollation> m_collation;
    PieceTable m_pieces;
    std::unique_ptr<KeyText> m_text;
};

} // namespace collation
