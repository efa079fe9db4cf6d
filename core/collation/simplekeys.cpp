#include "simplekeys.h"

#include "keyparts.h"
#include "keysources.h"

#include <algorithm>

namespace collation {

namespace {

// Whether a piece's weights are written alike forwards and backwards: with
// common secondary weights only, as plain letters have. Where the locale
// compares accents from the end, ICU must weigh any other.
bool commonSecondaries(const Piece &piece)
{
    return std::all_of(piece.secondaries, piece.secondaries + piece.secondaryCount,
                       [](quint16 weight) { return weight == 0x0500; });
}

} // namespace

// Most lines are ASCII whose every character has one primary and a common
// secondary weight, so the key is quick to write: the primaries, the count
// of common weights as ICU writes it, the text in lower case.
bool SimpleKeys::appendPlainAscii(QByteArrayView bytes, QByteArray &keys)
{
    if (bytes.size() >= chunkUnits)
        return false;
    if (m_ascii[0].primary == unknownAscii) {
        // Among ASCII, only what the tailoring names continues a
        // contraction; without such, what starts one stands alone.
        for (char32_t c = 0; c < 0x80; ++c) {
            const Piece &piece = m_pieces[c];
            const bool plain = piece.has(Piece::Plain) && piece.utf8Size == 1
                    && !piece.has(Piece::Continues) && !piece.has(Piece::Begins);
            m_ascii[c] = {plain ? quint16(piece.primary >> 16) : quint16(0), piece.utf8[0]};
        }
    }
    qsizetype primarySize = 0;
    for (const char c : bytes) {
        const quint16 primary = m_ascii[uchar(c)].primary;
        if (primary == 0)
            return false;
        primarySize += (primary & 0xFF) ? 2 : 1;
    }

    const qsizetype commons = bytes.size();
    const qsizetype secondarySize = commons == 0 ? 0 : (commons - 1) / 0x21 + 1;
    const qsizetype start = keys.size();
    keys.resize(start + primarySize + 1 + secondarySize + 1 + bytes.size());
    char *to = keys.data() + start;
    for (const char c : bytes) {
        const quint16 primary = m_ascii[uchar(c)].primary;
        *to++ = char(primary >> 8);
        if (primary & 0xFF)
            *to++ = char(primary);
    }
    *to++ = '\x01';
    if (commons > 0) {
        to = std::fill_n(to, (commons - 1) / 0x21, '\x25');
        *to++ = char(0x05 + (commons - 1) % 0x21);
    }
    *to++ = '\0';
    for (const char c : bytes)
        *to++ = m_ascii[uchar(c)].folded;
    return true;
}

// Writes the weights of a text in the order ICU weighs them, and its folded
// text. A piece that Starts waits for the next: when that Continues, ICU
// says how the two weigh together. Returns false, having written part of
// the key, when ICU must weigh the text.
template<bool chunked, typename Source, typename Out, typename Fold>
bool SimpleKeys::write(const Source &source, SortKeyWriter<Out> &writer, Fold &fold)
{
    ChunkCutter cutter;
    const Piece *waiting = nullptr;
    char32_t waitingCodePoint = 0;
    bool marksAfterStart = false; // which a contraction may skip
    bool begins = false;
    const bool backward = m_backwardSecondaries;
    const bool simple = source.forEach([&](char32_t c) {
        const Piece &piece = m_pieces[c];
        if (!piece.has(Piece::Simple) || (backward && !commonSecondaries(piece)))
            return false;
        if (chunked && cutter.cutsBefore(piece)) {
            if (waiting)
                writer.add(*waiting);
            waiting = nullptr;
            marksAfterStart = false;
            writer.endChunk();
        }
        fold.put(piece);
        if (!piece.has(Piece::Mark))
            begins = piece.has(Piece::Begins);
        if (piece.has(Piece::Continues) && waiting) {
            const Piece &pair = m_pieces.pair(waitingCodePoint, c);
            if (!pair.has(Piece::Simple) || (backward && !commonSecondaries(pair)))
                return false;
            if (!pair.has(Piece::Apart)) {
                writer.add(pair);
                waiting = nullptr;
                return true;
            }
            // Not a contraction: the piece may still start one of its own.
            writer.add(*waiting);
            waiting = nullptr;
        } else if (piece.has(Piece::Continues) && marksAfterStart) {
            return false;
        }
        marksAfterStart = piece.has(Piece::Mark) && (waiting || marksAfterStart);
        if (waiting)
            writer.add(*waiting);
        waiting = nullptr;
        if (piece.has(Piece::Starts)) {
            waiting = &piece;
            waitingCodePoint = c;
        } else {
            writer.add(piece);
        }
        return true;
    });
    if (!simple)
        return false;
    if (waiting)
        writer.add(*waiting);
    writer.endChunk();
    // A text that ends in the beginning of a contraction needs ICU to find
    // its lowest continuation.
    return !begins;
}

// The key from the pieces' weights, without asking ICU. A short text is
// written in one pass: the primaries straight to their place, the rest
// aside until their place is known. A long one is counted first, so that
// each part is written straight to its place.
template<typename Source> bool SimpleKeys::append(const Source &source, QByteArray &keys)
{
    const qsizetype start = keys.size();
    const qsizetype most = source.size();
    if (most < chunkUnits) {
        keys.resize(start + 3 * most);
        m_secondaries.resize(6 * most + 1);
        m_folded.resize(qsizetype(sizeof(Piece::utf8)) * most);
        SortKeyWriter<ByteWriter> writer(ByteWriter{keys.data() + start},
                                         ByteWriter{m_secondaries.data()});
        RoomyFoldWriter fold{m_folded.data()};
        if (!write<false>(source, writer, fold)) {
            keys.truncate(start);
            return false;
        }
        const qsizetype primaryEnd = writer.primaries.at - keys.constData();
        const qsizetype secondarySize = writer.secondaries.at - m_secondaries.constData();
        const qsizetype foldedSize = fold.at - m_folded.constData();
        keys.resize(primaryEnd + 1 + secondarySize + 1 + foldedSize);
        char *to = keys.data() + primaryEnd;
        *to++ = '\x01';
        to = std::copy_n(m_secondaries.constData(), secondarySize, to);
        *to++ = '\0';
        std::copy_n(m_folded.constData(), foldedSize, to);
        return true;
    }

    SortKeyWriter<ByteCounter> counter({}, {});
    FoldCounter foldSize;
    if (!write<true>(source, counter, foldSize))
        return false;
    const qsizetype primarySize = counter.primaries.size;
    const qsizetype secondarySize = counter.secondaries.size;
    keys.resize(start + primarySize + 1 + secondarySize + 1 + foldSize.size);
    char *const at = keys.data() + start;
    at[primarySize] = '\x01';
    at[primarySize + 1 + secondarySize] = '\0';
    SortKeyWriter<ByteWriter> writer(ByteWriter{at}, ByteWriter{at + primarySize + 1});
    FoldWriter fold{at + primarySize + 1 + secondarySize + 1};
    write<true>(source, writer, fold);
    return true;
}

template bool SimpleKeys::append(const AsciiBytes &, QByteArray &);
template bool SimpleKeys::append(const Utf8Bytes &, QByteArray &);
template bool SimpleKeys::append(const Windows1252Bytes &, QByteArray &);

} // namespace collation
