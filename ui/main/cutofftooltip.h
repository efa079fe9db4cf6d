#pragma once

#include <QStyledItemDelegate>

// Draws the list's rows as usual, and shows an entry's start as a tooltip
// over its row when the row cuts the entry off at the right edge, so that a
// long entry can be read without saving the list. Rows shown in full have
// no tooltip.
class CutOffToolTip final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
};
