#pragma once

#include <QStringList>

// The file dialogs' filters are written as "description|patterns|" pairs;
// Qt's dialogs take them as name filters.
// "Text Files (*.txt)|*.txt|" -> {"Text Files (*.txt)"}; "*.txt" -> {"*.txt"}.
// A description without its own pattern list gets the pattern appended:
// "Text|*.txt|" -> {"Text (*.txt)"}.
QStringList nameFiltersFromDialogFilter(const QString &filter);
