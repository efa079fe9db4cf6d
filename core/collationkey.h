#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <memory>

// Builds byte keys whose plain bytewise comparison gives the list's order:
// case-insensitive, following the locale's collation for accents,
// punctuation and digits, but with these guarantees in every locale:
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

    QByteArray key(const QString &text) const;
    // The key of an entry's bytes, read as decodeEntry() reads them: the
    // same key as key(decodeEntry(bytes)), without the QString between.
    QByteArray entryKey(QByteArrayView bytes) const;
    // Appends entryKey(bytes) to `keys`: a list keeps all its keys in one
    // buffer rather than one allocation each.
    void appendEntryKey(QByteArrayView bytes, QByteArray &keys) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The locale whose collation the user asked for: LC_ALL, then LC_COLLATE,
// then LANG, as POSIX programs read them; C when none is set.
QLocale collationLocale();
