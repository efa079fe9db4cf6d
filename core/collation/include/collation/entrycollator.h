#pragma once

#include "collation/textencoding.h"

#include <QByteArrayView>
#include <QLocale>

#include <memory>
#include <optional>

namespace collation {

// Orders entries as the list keeps them: case-insensitive, following the
// locale's alphabet (letters written with two characters, Thai leading
// vowels, decomposed accents), but with these guarantees in every locale:
//   - letters compare without regard to case;
//   - the empty text sorts first;
//   - a text sorts before any longer text it is the beginning of;
//   - a space sorts before every letter and digit.
//
// Every entry has a key, a string of bytes, and entries are ordered as
// their keys are bytewise. Only a key's first bytes are built, its start;
// entries whose starts are equal are compared as their whole keys would
// be, without building them. Texts with equal keys are fully equal for
// ordering purposes.
//
// An entry is read as `encoding` says, which holds entryEncoding(bytes)
// once a call needed it, so that a long entry is read for it once; empty
// at first. Not for use on two threads at once.
class EntryCollator
{
public:
    // A C or POSIX locale orders by case-folded code points alone.
    explicit EntryCollator(const QLocale &locale);
    ~EntryCollator();
    EntryCollator(const EntryCollator &) = delete;
    EntryCollator &operator=(const EntryCollator &) = delete;

    // The first eight bytes of an entry's key, big-endian, padded with zero
    // bytes: entries whose starts differ are ordered by them. Reads no more
    // of an entry than they take, but for text the locale gives no weight.
    struct Start
    {
        quint64 bytes = 0;
        // The start is the whole key.
        bool whole = false;
    };
    Start start(QByteArrayView bytes, std::optional<EntryEncoding> &encoding);

    // Orders two entries whose starts are equal: less than zero when `a`
    // comes first, zero when their keys are equal. Reads the two as far as
    // it takes to tell them apart. Of entries that are the same text written
    // otherwise, the first 64 KB of the last two are kept, so that comparing
    // one with a run of others does not read their beginnings again.
    int compareTied(QByteArrayView a, std::optional<EntryEncoding> &aEncoding, QByteArrayView b,
                    std::optional<EntryEncoding> &bEncoding);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The locale whose collation the user asked for: LC_ALL, then LC_COLLATE,
// then LANG, as POSIX programs read them; C when none is set.
QLocale collationLocale();

} // namespace collation
