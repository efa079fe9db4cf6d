#pragma once

#include <QString>

// What a row shows of an entry: the entry's text on one line, with the
// characters that would break the line or reorder what a person reads drawn
// as visible marks: LF as ¶, the rarer line ends, the invisible direction
// marks and the explicit bidirectional embeddings, overrides and isolates
// as their abbreviations (‹CR›, ‹RLM›, ‹RLO›, ‹PDF›, ...). Right-to-left text without such
// controls is left as it is, so it still shapes and orders as written. Only
// the shown text changes; the entry's bytes never do.
QString markedForDisplay(QString text);

// The length of the mark that starts at `at` in a text made by
// markedForDisplay, or 0 where none does. A file's own text may hold the
// same characters: this tells the shapes, not where they came from.
qsizetype markLengthAt(QStringView shown, qsizetype at);
