#pragma once

#include <QByteArrayView>

namespace listfile {

// How a list file is read depends on its first bytes alone, at most
// FileStartSize of them, so that a writer can tell before writing how its
// file will be read back. `start` below is always the first
// min(FileStartSize, file size) bytes of a file.
constexpr qsizetype FileStartSize = 4096;

// The UTF-8 byte-order mark: at the very start of a file it is an encoding
// mark, dropped on reading; anywhere else it is text (U+FEFF).
constexpr QByteArrayView Utf8Mark("\xEF\xBB\xBF", 3);

// Whether the file is UTF-16 text, which is refused: read as single bytes
// it would become lines full of NULs. UTF-16 puts a NUL byte beside every
// Latin letter, digit, space and line end; single-byte lists hardly ever
// hold NULs that way. A UTF-16 mark (FF FE or FE FF) alone decides nothing,
// since those are also the Windows-1252 letters "ÿþ" and "þÿ".
bool looksLikeUtf16(QByteArrayView start);

// Whether a list whose file would start with `start` must be written behind
// a UTF-8 mark to read back as it is: its first entry begins with U+FEFF,
// whose bytes would be taken for the mark, or its bytes look like UTF-16.
// Behind the mark a file is neither.
bool needsUtf8Mark(QByteArrayView start);

} // namespace listfile
