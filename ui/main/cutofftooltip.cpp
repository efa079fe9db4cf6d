#include "cutofftooltip.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QStyle>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace {

bool isCutOff(const QStyleOptionViewItem &item, const QAbstractItemView *view)
{
    const QStyle *style = view ? view->style() : nullptr;
    if (!style)
        return false;
    // A row is as wide as its longest entry; the view shows what of it fits.
    const QRect shown = style->subElementRect(QStyle::SE_ItemViewItemText, &item, view)
                                .intersected(view->viewport()->rect());
    // The style keeps this margin on either side of an item's text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return item.fontMetrics.horizontalAdvance(item.text) > shown.width() - 2 * margin;
}

} // namespace

bool CutOffToolTip::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                              const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    if (!isCutOff(item, view)) {
        QToolTip::hideText();
        return true;
    }
    // As rich text the tooltip wraps at a readable width instead of running
    // off the screen; white space is kept as the entry has it.
    const QString text = index.data(Qt::ToolTipRole).toString().toHtmlEscaped();
    QToolTip::showText(event->globalPos(), u"<p style='white-space:pre-wrap'>"_s + text + u"</p>"_s,
                       view->viewport(), view->visualRect(index));
    return true;
}
