#include "foldedtext.h"

#include <unicode/unorm2.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <new>

namespace collation {

namespace {

// A run of combining marks with no letter to end it is composed this much
// at a time.
constexpr size_t longestComposed = 16 * 1024;

const UNormalizer2 *nfc()
{
    static const UNormalizer2 *const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        return unorm2_getNFCInstance(&status);
    }();
    return instance;
}

template<typename Folding> int compareCodePoints(Folding a, Folding b)
{
    for (;;) {
        const int x = a.next();
        const int y = b.next();
        if (x != y)
            return x < y ? -1 : 1;
        if (x < 0)
            return 0;
    }
}

// Appends the code points as UTF-8 raised by one, then a zero byte; stops
// past `until` (-1: no end) and returns whether all are there.
template<typename Folding> bool appendRaised(Folding folding, QByteArray &key, qsizetype until)
{
    for (int c; (c = folding.next()) >= 0;) {
        if (until >= 0 && key.size() >= until)
            return false;
        uint8_t bytes[U8_MAX_LENGTH];
        int32_t length = 0;
        U8_APPEND_UNSAFE(bytes, length, c);
        for (int32_t i = 0; i < length; ++i)
            key += char(bytes[i] + 1);
    }
    key += '\0';
    return true;
}

} // namespace

ComposedFolding::ComposedFolding(const EntryCodePoints &source, PieceTable &pieces)
    : m_reader(source, pieces)
{
    m_pending = m_reader.next();
}

// Most stretches are one code point that is composed as it stands, and is
// read as it is; the rest are composed.
int ComposedFolding::nextStretch()
{
    m_piece = nullptr;
    m_composed.clear();
    m_at = 0;
    const Piece *first = m_pending;
    if (!first)
        return -1;
    m_pending = m_reader.next();
    if (first->has(Piece::Composed) && (!m_pending || m_pending->has(Piece::NfcStart))) {
        m_piece = first;
        m_pieceAt = 0;
    } else {
        compose(first);
    }
    return next();
}

// Composes the stretch that NFC leaves apart from what follows it, from
// `first` up to the next piece that begins where composing never joins it
// to what came before.
void ComposedFolding::compose(const Piece *first)
{
    m_text.clear();
    for (const Piece *piece = first; piece;) {
        for (int32_t at = 0; at < piece->utf8Size;) {
            UChar32 c;
            U8_NEXT_UNSAFE(reinterpret_cast<const uint8_t *>(piece->utf8), at, c);
            char16_t units[2];
            int32_t length = 0;
            U16_APPEND_UNSAFE(units, length, c);
            m_text.append(units, size_t(length));
        }
        if (!m_pending || m_pending->has(Piece::NfcStart) || m_text.size() >= longestComposed)
            break;
        piece = m_pending;
        m_pending = m_reader.next();
    }
    UErrorCode status = U_ZERO_ERROR;
    m_composed.resize(m_text.size() + 8);
    int32_t size = unorm2_normalize(
            nfc(), reinterpret_cast<const UChar *>(m_text.data()), int32_t(m_text.size()),
            reinterpret_cast<UChar *>(m_composed.data()), int32_t(m_composed.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        m_composed.resize(size_t(size));
        size = unorm2_normalize(
                nfc(), reinterpret_cast<const UChar *>(m_text.data()), int32_t(m_text.size()),
                reinterpret_cast<UChar *>(m_composed.data()), int32_t(m_composed.size()), &status);
    }
    if (status == U_MEMORY_ALLOCATION_ERROR)
        throw std::bad_alloc();
    if (U_FAILURE(status))
        m_composed = m_text;
    else
        m_composed.resize(size_t(size));
}

int WrittenFolding::next()
{
    if (!m_piece || m_at == m_piece->utf8Size) {
        m_piece = m_reader.next();
        m_at = 0;
        if (!m_piece)
            return -1;
    }
    UChar32 c;
    U8_NEXT_UNSAFE(reinterpret_cast<const uint8_t *>(m_piece->utf8), m_at, c);
    return c;
}

int compareFoldings(const EntryCodePoints &a, const EntryCodePoints &b,
                    const EntryCodePoints &writtenA, const EntryCodePoints &writtenB,
                    PieceTable &pieces)
{
    if (const int order = compareCodePoints(ComposedFolding(a, pieces), ComposedFolding(b, pieces)))
        return order;
    return compareCodePoints(WrittenFolding(writtenA, pieces), WrittenFolding(writtenB, pieces));
}

bool appendFoldings(const EntryCodePoints &source, PieceTable &pieces, QByteArray &key,
                    qsizetype until)
{
    return appendRaised(ComposedFolding(source, pieces), key, until)
            && appendRaised(WrittenFolding(source, pieces), key, until);
}

} // namespace collation
