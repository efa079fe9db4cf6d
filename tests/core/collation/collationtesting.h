#pragma once

// What the collation tests share: ICU's own comparison to hold the keys
// against, and words as a locale writes them.

#include "collation/entrycollator.h"
#include "entryorder.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QStringList>
#include <QtEndian>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ulocdata.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>

#include <algorithm>

using namespace Qt::StringLiterals;
using namespace collation;

inline QLocale localeNamed(const QString &name)
{
    return name == u"C" ? QLocale::c() : QLocale(name);
}

inline const UChar *icuText(const QString &text)
{
    return reinterpret_cast<const UChar *>(text.utf16());
}

// ICU's own collator for a locale, set up as the list's order asks: accents
// count, in the order the locale reads them, case does not, spaces and
// punctuation are not ignorable.
class Icu
{
public:
    // Accents count as the locale counts them, or from the start where
    // `fromTheEnd` is UCOL_OFF.
    explicit Icu(const QString &locale, UColAttributeValue normalization,
                 UCollationStrength strength = UCOL_SECONDARY,
                 UColAttributeValue fromTheEnd = UCOL_DEFAULT)
    {
        UErrorCode status = U_ZERO_ERROR;
        m_collator = ucol_open(locale.toUtf8().constData(), &status);
        ucol_setStrength(m_collator, strength);
        ucol_setAttribute(m_collator, UCOL_FRENCH_COLLATION, fromTheEnd, &status);
        ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, normalization, &status);
    }
    ~Icu() { ucol_close(m_collator); }
    Icu(const Icu &) = delete;
    Icu &operator=(const Icu &) = delete;

    int compare(const QString &a, const QString &b) const
    {
        return ucol_strcoll(m_collator, icuText(a), int32_t(a.size()), icuText(b),
                            int32_t(b.size()));
    }

    QByteArray sortKey(const QString &text) const
    {
        QByteArray key(4 * text.size() + 64, Qt::Uninitialized);
        const int32_t size =
                ucol_getSortKey(m_collator, icuText(text), int32_t(text.size()),
                                reinterpret_cast<uint8_t *>(key.data()), int32_t(key.size()));
        key.truncate(size - 1); // the terminating zero byte
        return key;
    }

    const UCollator *collator() const { return m_collator; }

private:
    UCollator *m_collator = nullptr;
};

// Case folded, where I is the capital of dotless ı in Turkish and
// Azerbaijani, as everywhere else.
inline QString folded(const QString &text, const QString &locale = QString())
{
    const bool turkic = locale.startsWith(u"tr") || locale.startsWith(u"az");
    QString result(3 * text.size(), Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    result.truncate(u_strFoldCase(reinterpret_cast<UChar *>(result.data()), int32_t(result.size()),
                                  icuText(text), int32_t(text.size()),
                                  turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT,
                                  &status));
    return result;
}

inline QStringList itemsOf(const USet *set)
{
    QStringList items;
    UErrorCode status = U_ZERO_ERROR;
    for (int32_t i = 0; i < uset_getItemCount(set); ++i) {
        UChar32 start;
        UChar32 end;
        UChar text[64];
        const int32_t size = uset_getItem(set, i, &start, &end, text, 64, &status);
        if (size > 0 && U_SUCCESS(status))
            items << QString(reinterpret_cast<const QChar *>(text), size);
        for (UChar32 c = start; size == 0 && c <= end; ++c)
            items << QString::fromUcs4(reinterpret_cast<const char32_t *>(&c), 1);
        status = U_ZERO_ERROR;
    }
    return items;
}

// The contractions and context mappings of the root collation, which every
// locale has besides its tailoring's own.
inline const QStringList &rootContractions()
{
    static const QStringList strings = [] {
        UErrorCode status = U_ZERO_ERROR;
        UCollator *root = ucol_open("", &status);
        USet *set = uset_openEmpty();
        ucol_getContractionsAndExpansions(root, set, nullptr, true, &status);
        const QStringList items = itemsOf(set);
        uset_close(set);
        ucol_close(root);
        return items;
    }();
    return strings;
}

// Words as a locale writes them: its main letters, as ICU lists them, and
// the letters its collation writes with two characters.
class Alphabet
{
public:
    explicit Alphabet(const QString &locale, const Icu &icu)
    {
        UErrorCode status = U_ZERO_ERROR;
        ULocaleData *data = ulocdata_open(locale.toUtf8().constData(), &status);
        USet *letters = ulocdata_getExemplarSet(data, nullptr, 0, ULOCDATA_ES_STANDARD, &status);
        m_letters = itemsOf(letters);
        USet *tailored = ucol_getTailoredSet(icu.collator(), &status);
        QStringList contractions = rootContractions();
        for (const QString &item : itemsOf(tailored)) {
            const QList<uint> codePoints = item.toUcs4();
            if (codePoints.size() < 2)
                continue;
            contractions << item;
            if (std::all_of(codePoints.begin(), codePoints.end(),
                            [&](uint c) { return uset_contains(letters, UChar32(c)); }))
                m_letters << item;
        }
        uset_close(tailored);
        uset_close(letters);
        ulocdata_close(data);
        if (m_letters.isEmpty())
            m_letters << u"a"_s;
        // What may follow a word: a letter, or the rest of a contraction.
        m_continuations = m_letters;
        for (const QString &contraction : std::as_const(contractions)) {
            for (qsizetype i = 1; i < contraction.size(); ++i) {
                if (!contraction[i].isLowSurrogate())
                    m_continuations << contraction.mid(i);
            }
        }
    }

    const QStringList &continuations() const { return m_continuations; }

    QString letter(QRandomGenerator &random) const
    {
        return m_letters[random.bounded(int(m_letters.size()))];
    }

    // Composed or decomposed, in upper, lower or mixed case.
    QString word(QRandomGenerator &random, int longest) const
    {
        QString word;
        for (int length = random.bounded(1, longest + 1); length > 0; --length)
            word += letter(random);
        word = word.normalized(QString::NormalizationForm_C);
        switch (random.bounded(5)) {
        case 0:
            return word.toUpper();
        case 1:
            return word.normalized(QString::NormalizationForm_D);
        case 2:
            return word.left(1).toUpper() + word.mid(1);
        default:
            return word;
        }
    }

private:
    QStringList m_letters;
    QStringList m_continuations;
};

// The order of two entries that hold `a` and `b` as UTF-8.
inline int textOrder(EntryCollator &collator, const QString &a, const QString &b)
{
    return entryOrder(collator, a.toUtf8(), b.toUtf8());
}
