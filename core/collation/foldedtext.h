#pragma once

#include "piecereader.h"

#include <QByteArray>

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <string>

namespace collation {

// The case folding of an entry (a Turkish I as the dotless ı it is the
// capital of), as a person reads it (composed, NFC) and as
// it is written, one code point after another. Entries that the locale
// weighs alike are ordered by these: first by the composed folding, so that
// a text comes before the longer texts it begins as a person sees them,
// then by the folding as written, so that an entry and its decomposed twin
// are never equal. Under C they are the whole order.
//
// In a key the two come as their UTF-8 bytes, each raised by one, and each
// followed by a zero byte: bytewise, that orders them code point by code
// point, a text before the longer texts it begins.
class ComposedFolding
{
public:
    ComposedFolding(const EntryCodePoints &source, PieceTable &pieces);

    // The next code point, or -1 at the end.
    int next()
    {
        if (m_piece && m_pieceAt < m_piece->utf8Size) {
            UChar32 c;
            U8_NEXT_UNSAFE(reinterpret_cast<const uint8_t *>(m_piece->utf8), m_pieceAt, c);
            return c;
        }
        if (m_at < m_composed.size()) {
            UChar32 c;
            U16_NEXT_UNSAFE(m_composed.data(), m_at, c);
            return c;
        }
        return nextStretch();
    }

private:
    int nextStretch();
    void compose(const Piece *first);

    PieceReader m_reader;
    const Piece *m_pending = nullptr;
    // A piece that is composed as it stands, read as it is; or what was
    // composed of several.
    const Piece *m_piece = nullptr;
    int32_t m_pieceAt = 0;
    std::u16string m_text;
    std::u16string m_composed;
    size_t m_at = 0;
};

// The case folding as written, code point by code point: -1 at the end.
class WrittenFolding
{
public:
    WrittenFolding(const EntryCodePoints &source, PieceTable &pieces)
        : m_reader(source, pieces)
    { }

    int next();

private:
    PieceReader m_reader;
    const Piece *m_piece = nullptr;
    int m_at = 0;
};

// Orders two entries by their foldings, composed and then as written: the
// composed from `a` and `b`, the written from `writtenA` and `writtenB`,
// which may begin before them.
int compareFoldings(const EntryCodePoints &a, const EntryCodePoints &b,
                    const EntryCodePoints &writtenA, const EntryCodePoints &writtenB,
                    PieceTable &pieces);

// Appends the foldings' part of a key, up to `until` bytes of `key` at
// least (-1: all of it); returns whether it is all there.
bool appendFoldings(const EntryCodePoints &source, PieceTable &pieces, QByteArray &key,
                    qsizetype until);

} // namespace collation
