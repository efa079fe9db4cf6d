#include "piecetable.h"

#include "localecollation.h"

#include <QString>
#include <QStringView>

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>

namespace collation {

PieceTable::PieceTable(LocaleCollation *collation, bool turkic)
    : m_collation(collation)
    , m_turkic(turkic)
{ }

PieceTable::~PieceTable() = default;

// ICU's full case folding: "ß" folds to "ss", never to more than three
// UTF-16 units. In Turkish and Azerbaijani, I is the capital of dotless ı
// and İ the capital of i; Î folds to î as elsewhere.
void PieceTable::fold(char32_t codePoint, Piece &piece) const
{
    UChar unfolded[2];
    int32_t length = 0;
    U16_APPEND_UNSAFE(unfolded, length, codePoint);
    UChar folded[8];
    UErrorCode status = U_ZERO_ERROR;
    int32_t foldedLength =
            u_strFoldCase(folded, 8, unfolded, length,
                          m_turkic ? U_FOLD_CASE_EXCLUDE_SPECIAL_I : U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status) || foldedLength > 3) {
        std::copy(unfolded, unfolded + length, folded);
        foldedLength = length;
    }
    piece.utf16Size = quint8(foldedLength);
    std::copy(folded, folded + foldedLength, piece.utf16);

    // A bare I folds to dotless ı; the collator knows the capital as such.
    // Followed by an accent it is the capital of i, as Î and Í are: the key
    // builder sees to that.
    if (m_turkic && codePoint == U'I')
        piece.utf16[0] = u'I';
    const QByteArray utf8 =
            QStringView(reinterpret_cast<const char16_t *>(folded), foldedLength).toUtf8();
    piece.utf8Size = quint8(qMin(utf8.size(), qsizetype(sizeof piece.utf8)));
    std::memcpy(piece.utf8, utf8.constData(), piece.utf8Size);
}

// Tibetan's composite vowels are weighed apart from their decompositions
// where ICU does not normalize.
void PieceTable::decompose(Piece &piece)
{
    UErrorCode status = U_ZERO_ERROR;
    UChar decomposed[8];
    const int32_t size = unorm2_normalize(unorm2_getNFDInstance(&status),
                                          reinterpret_cast<const UChar *>(piece.utf16),
                                          piece.utf16Size, decomposed, 8, &status);
    if (U_FAILURE(status) || size > int32_t(std::size(piece.decomposed)))
        return;
    for (int32_t at = 0; at < size;) {
        UChar32 c;
        U16_NEXT(decomposed, at, size, c);
        if (c == 0x0F73 || c == 0x0F75 || c == 0x0F81)
            return;
        if (at == U16_LENGTH(c))
            piece.decomposedLeadingClass = u_getCombiningClass(c);
        piece.decomposedTrailingClass = u_getCombiningClass(c);
    }
    std::copy(decomposed, decomposed + size, piece.decomposed);
    piece.decomposedSize = quint8(size);
}

const Piece &PieceTable::compute(char32_t codePoint)
{
    Piece piece;
    fold(codePoint, piece);
    piece.flags = Piece::Known;
    UChar32 lead;
    U16_GET_UNSAFE(piece.utf16, 0, lead);
    if (u_isalnum(lead))
        piece.flags |= Piece::Alnum;
    UChar32 last;
    int32_t end = piece.utf16Size;
    U16_PREV_UNSAFE(piece.utf16, end, last);
    piece.leadingClass = u_getCombiningClass(lead);
    piece.trailingClass = u_getCombiningClass(last);
    if (piece.trailingClass != 0)
        piece.flags |= Piece::Mark;
    if (m_collation && m_collation->continuesContraction(char32_t(lead))) {
        piece.flags |= Piece::Continues;
        if (U16_LENGTH(lead) == piece.utf16Size && (U_GET_GC_MASK(lead) & U_GC_M_MASK))
            piece.flags |= Piece::MayJoin;
    }
    if (piece.leadingClass == 0 && piece.trailingClass == 0 && !piece.has(Piece::MayJoin))
        piece.flags |= Piece::Plain;
    UErrorCode status = U_ZERO_ERROR;
    if (unorm2_hasBoundaryBefore(unorm2_getNFCInstance(&status), lead))
        piece.flags |= Piece::NfcStart;
    decompose(piece);
    const std::u16string folding = QString::fromUtf8(piece.utf8, piece.utf8Size).toStdU16String();
    if (unorm2_isNormalized(unorm2_getNFCInstance(&status),
                            reinterpret_cast<const UChar *>(folding.data()),
                            int32_t(folding.size()), &status))
        piece.flags |= Piece::Composed;
    if (m_collation && piece.has(Piece::Plain) && piece.has(Piece::NfcStart)
        && !piece.has(Piece::Continues)
        && m_collation->hasPrimaryWeight(
                std::u16string_view(piece.utf16, size_t(U16_LENGTH(lead)))))
        piece.flags |= Piece::Restart;

    std::unique_ptr<Page> &page = m_pages[codePoint >> 8];
    if (!page)
        page = std::make_unique<Page>();
    return (*page)[codePoint & 0xFF] = piece;
}

} // namespace collation
