#pragma once

#include "collation/textencoding.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>

#include <memory>
#include <optional>

namespace collation {

// Builds byte keys whose plain bytewise comparison gives the list's order:
// case-insensitive, following the locale's alphabet (letters written with
// two characters, Thai leading vowels, decomposed accents), but with these
// guarantees in every locale:
//   - letters compare without regard to case;
//   - the empty text sorts first;
//   - a text sorts before any longer text it is the beginning of;
//   - a space sorts before every letter and digit.
// Texts with equal keys are fully equal for ordering purposes.
class CollationKeyMaker
{
public:
    // A C or POSIX locale orders by case-folded code points alone.
    explicit CollationKeyMaker(const QLocale &locale);
    ~CollationKeyMaker();
    CollationKeyMaker(const CollationKeyMaker &) = delete;
    CollationKeyMaker &operator=(const CollationKeyMaker &) = delete;

    // Appends the first `size` bytes of an entry's key, read as
    // entryEncoding() says, and returns false; or its whole key and returns
    // true, when that is no longer (under C, a few bytes longer at most).
    // Reads no more of an entry than the bytes take, so that an order needs
    // the rest of a key only where beginnings tie. `encoding` keeps entryEncoding(bytes)
    // once a call needed it, so that a long entry is read for it once;
    // empty at first. When it throws, `keys` may have grown: the caller
    // truncates it to its size before the call.
    bool appendEntryKeyStart(QByteArrayView bytes, qsizetype size, QByteArray &keys,
                             std::optional<EntryEncoding> &encoding) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The locale whose collation the user asked for: LC_ALL, then LC_COLLATE,
// then LANG, as POSIX programs read them; C when none is set.
QLocale collationLocale();

} // namespace collation
