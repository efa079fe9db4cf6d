#pragma once

#include <QStyledItemDelegate>

// Draws the list's rows as usual, but for the marks that stand for line ends
// and direction controls (¶, ‹CR›, ‹RLO›), drawn in the palette's
// placeholder colour to tell them from the entry's own text; and shows an
// entry's start as a tooltip over its row when the row cuts the entry off at
// the right edge, so that a long entry can be read without saving the list.
// Rows shown in full have no tooltip.
class CutOffToolTip final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
};
