#pragma once

#include <QByteArray>

namespace collation {

struct Piece;

// Sets the weights of a piece from ICU's sort key of its text and of its
// text written twice, and the flags Compressible, Compressible2, Plain and
// Apart. `first` and `second`, when given, are the pieces of two code
// points the text may weigh as. False when no weights written as ICU writes
// them give both keys.
bool weighPiece(Piece &piece, const QByteArray &sortKey, const QByteArray &twice,
                const Piece *first, const Piece *second);

} // namespace collation
