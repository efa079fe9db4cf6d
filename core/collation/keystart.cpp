#include "keybuilder.h"

#include "keysources.h"

// The beginning of a key, built from a head of the text as short as gives
// it; see keybuilder.cpp for what a key holds.

namespace collation {

namespace {

// The beginning of a key is built from a head of the text at first this many
// code points long, then four times as long, up to headLimit; past that the
// whole key is built.
constexpr qsizetype firstHead = 16;
constexpr qsizetype headLimit = 1024;

} // namespace

// Where a head of at least `codePoints` code points may end, or -1 when the
// text ends first. Its key then begins as the text's does, up to the end of
// its primary weights: the head ends where a chunk could (before a code
// point that no contraction joins to the one before), and its last code
// point is no mark and begins no contraction that sorts before it, so no
// lowest continuation is added to the head.
template<typename Source> qsizetype KeyBuilder::headEnd(const Source &source, qsizetype codePoints)
{
    qsizetype end = -1;
    qsizetype count = 0;
    const Piece *previous = nullptr;
    source.forEachAt([&](char32_t c, qsizetype at) {
        const Piece &piece = m_pieces[c];
        if (count >= codePoints && piece.has(Piece::Boundary) && !previous->has(Piece::Joins)
            && previous->trailingClass == 0 && !previous->has(Piece::Begins)) {
            end = at;
            return false;
        }
        previous = &piece;
        ++count;
        return true;
    });
    return end;
}

template<typename Source>
bool KeyBuilder::appendStart(const Source &source, QByteArray &keys, qsizetype size)
{
    const qsizetype start = keys.size();
    if (!m_collation) {
        // The folded text: every code point adds at least one byte.
        qsizetype end = -1;
        qsizetype count = 0;
        source.forEachAt([&](char32_t, qsizetype at) {
            if (count++ < size)
                return true;
            end = at;
            return false;
        });
        if (end < 0) {
            appendFolded(source, keys);
            return true;
        }
        appendFolded(source.first(end), keys);
        keys.truncate(start + size);
        return false;
    }
    // A short text's whole key costs little more than a head's.
    if (source.size() <= 2 * firstHead) {
        append(source, keys);
        return true;
    }
    const QByteArrayView limit = m_collation->spaceLimit();
    for (qsizetype head = firstHead; head <= headLimit; head *= 4) {
        const qsizetype end = headEnd(source, head);
        if (end < 0)
            break;
        append(source.first(end), keys);
        // The primary weights end at the level separator, after the space
        // limit and a zero byte where the key was moved above spaces.
        const QByteArrayView key = QByteArrayView(keys).sliced(start);
        const bool moved =
                key.size() > limit.size() && key.startsWith(limit) && key[limit.size()] == '\0';
        const qsizetype primaryStart = moved ? limit.size() + 1 : 0;
        const qsizetype primaryEnd = key.indexOf('\x01', primaryStart);
        if (primaryEnd - primaryStart >= qMax(size, limit.size())) {
            keys.truncate(start + size);
            return false;
        }
        keys.truncate(start);
    }
    append(source, keys);
    return true;
}

template bool KeyBuilder::appendStart(const AsciiBytes &, QByteArray &, qsizetype);
template bool KeyBuilder::appendStart(const Utf8Bytes &, QByteArray &, qsizetype);
template bool KeyBuilder::appendStart(const Windows1252Bytes &, QByteArray &, qsizetype);

} // namespace collation
