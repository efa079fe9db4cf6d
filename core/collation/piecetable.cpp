#include "piecetable.h"

#include "localecollation.h"

#include <QStringView>

#include <unicode/uchar.h>
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

    std::unique_ptr<Page> &page = m_pages[codePoint >> 8];
    if (!page)
        page = std::make_unique<Page>();
    return (*page)[codePoint & 0xFF] = piece;
}

} // namespace collation
