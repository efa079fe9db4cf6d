#include "pieceweights.h"

#include "sortkeywriter.h"

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>

namespace collation {

namespace {

// The secondary weights of one piece as its sort key writes them: each
// weight a byte outside 0x05-0x45, and a run of common weights as one byte
// that says how many there are and whether a higher weight follows. Empty
// when the bytes say something else.
std::u16string secondariesOf(QByteArrayView bytes)
{
    constexpr char16_t common = 0x0500;
    std::u16string weights;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = uchar(bytes[i]);
        const int next = i + 1 < bytes.size() ? uchar(bytes[i + 1]) : -1;
        if (byte < 0x05 || byte > 0x45)
            weights += char16_t(byte << 8);
        else if (byte <= 0x07 && next < 0x05) // a few commons, then lower or the end
            weights.append(size_t(byte - 0x04), common);
        else if (byte >= 0x43 && next > 0x45) // a few commons, then higher
            weights.append(size_t(0x46 - byte), common);
        else
            return {};
    }
    return weights;
}

struct ByteAppender
{
    QByteArray *bytes;
    void put(uchar byte) { bytes->append(char(byte)); }
};

// The levels a writer gives for pieces, as a sort key has them.
QByteArray written(std::initializer_list<const Piece *> pieces)
{
    QByteArray primaries;
    QByteArray secondaries;
    SortKeyWriter<ByteAppender> writer(ByteAppender{&primaries}, ByteAppender{&secondaries});
    for (const Piece *piece : pieces)
        writer.add(*piece);
    writer.endChunk();
    primaries += '\x01';
    primaries += secondaries;
    return primaries;
}

// The weights of a text that has one primary of at most two bytes (or two
// of one byte, which write the same) and a few secondaries, read from its
// sort key and from that of the text written twice.
bool readWeights(Piece &piece, const QByteArray &sortKey, const QByteArray &twice)
{
    const qsizetype separator = sortKey.indexOf('\x01');
    const QByteArrayView primary = QByteArrayView(sortKey).first(separator);
    const std::u16string secondaries = secondariesOf(QByteArrayView(sortKey).sliced(separator + 1));
    if (primary.size() > 2 || secondaries.size() > std::size(piece.secondaries)
        || (secondaries.empty() && separator + 1 < sortKey.size()))
        return false;
    for (qsizetype i = 0; i < 4; ++i)
        piece.primary = piece.primary << 8 | (i < primary.size() ? uchar(primary[i]) : 0);
    piece.secondaryCount = quint8(secondaries.size());
    std::copy(secondaries.begin(), secondaries.end(), piece.secondaries);
    // A repeated compressible lead byte is written once.
    if (primary.size() == 2 && twice.indexOf('\x01') == 3)
        piece.flags |= Piece::Compressible;
    return true;
}

// The weights of `first` followed by those of `second`, when together they
// have at most two primaries and three secondaries.
bool combine(Piece &piece, const Piece &first, const Piece &second)
{
    if (first.primary2 || second.primary2 || first.secondaryCount + second.secondaryCount > 3)
        return false;
    const bool firstHas = first.primary != 0;
    piece.primary = firstHas ? first.primary : second.primary;
    piece.primary2 = firstHas ? second.primary : 0;
    if (firstHas ? first.has(Piece::Compressible) : second.has(Piece::Compressible))
        piece.flags |= Piece::Compressible;
    if (firstHas && second.has(Piece::Compressible))
        piece.flags |= Piece::Compressible2;
    piece.secondaryCount = quint8(first.secondaryCount + second.secondaryCount);
    std::copy_n(first.secondaries, first.secondaryCount, piece.secondaries);
    std::copy_n(second.secondaries, second.secondaryCount,
                piece.secondaries + first.secondaryCount);
    return true;
}

} // namespace

// A piece's weights are its own when writing them, alone and twice, gives
// ICU's sort keys: one primary read from the key, or the weights of two
// parts in either order (Thai SARA AM weighs as its AA and NIKHAHIT).
bool weighPiece(Piece &piece, const QByteArray &sortKey, const QByteArray &twice,
                const Piece *first, const Piece *second)
{
    const auto matches = [&](const Piece &candidate) {
        return written({&candidate}) == sortKey && written({&candidate, &candidate}) == twice;
    };
    const auto keep = [&](const Piece &candidate, bool apart) {
        piece = candidate;
        if (piece.primary && !piece.primary2 && !piece.has(Piece::Compressible)
            && piece.secondaryCount == 1 && piece.secondaries[0] == 0x0500)
            piece.flags |= Piece::Plain;
        if (apart)
            piece.flags |= Piece::Apart;
        return true;
    };
    const bool parts = first && second && first->has(Piece::Simple) && second->has(Piece::Simple);
    Piece candidate = piece;
    if (parts && combine(candidate, *first, *second) && matches(candidate))
        return keep(candidate, true);
    candidate = piece;
    if (readWeights(candidate, sortKey, twice) && matches(candidate))
        return keep(candidate, false);
    candidate = piece;
    if (parts && combine(candidate, *second, *first) && matches(candidate))
        return keep(candidate, false);
    return false;
}

} // namespace collation
