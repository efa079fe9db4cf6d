#pragma once

#include "backwardaccents.h"
#include "entrycodepoints.h"
#include "keytext.h"
#include "localecollation.h"
#include "piecetable.h"
#include "restartpoint.h"

#include <QByteArray>
#include <QLocale>

#include <memory>

namespace collation {

// Builds the starts of entries' keys, and orders entries as their whole
// keys would order them without building them (see keybuilder.cpp for what
// a key is).
class KeyBuilder
{
public:
    explicit KeyBuilder(const QLocale &locale);
    ~KeyBuilder();
    KeyBuilder(const KeyBuilder &) = delete;
    KeyBuilder &operator=(const KeyBuilder &) = delete;

    // Appends the whole key of an entry and returns true when it is no
    // longer than `size` bytes; else appends the key's first `size` bytes
    // and returns false, having read no more of the entry than they take,
    // but for a text that ICU gives no weight to.
    bool appendStart(const EntryCodePoints &source, QByteArray &key, qsizetype size);
    // Orders two entries as their whole keys order bytewise: less than
    // zero when `a` comes first, zero when the keys are equal.
    int compare(const EntryCodePoints &a, const EntryCodePoints &b);

private:
    bool appendWeights(QByteArray &key, qsizetype until);
    int compareFrom(const EntryCodePoints &a, const EntryCodePoints &b,
                    const EntryCodePoints &writtenA, const EntryCodePoints &writtenB,
                    bool *undecided);

    std::unique_ptr<LocaleCollation> m_collation;
    PieceTable m_pieces;
    RestartPoints m_restarts;
    // The text of an entry whose start is built, or of the first of two
    // entries compared; the second's.
    std::unique_ptr<KeyText> m_text;
    std::unique_ptr<KeyText> m_other;
    std::unique_ptr<BackwardAccents> m_accents;
};

} // namespace collation
