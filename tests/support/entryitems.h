#pragma once

#include "entrylist/entrylist.h"

#include <QByteArray>
#include <QList>

// The list's entries in its order, to compare as a whole.
inline QList<QByteArray> itemsOf(const core::EntryList &list)
{
    QList<QByteArray> items;
    for (qint16 i = 0; i < list.Count(); ++i)
        items << list.Item(i).toByteArray();
    return items;
}
