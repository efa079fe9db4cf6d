#include "cutofftooltip.h"

#include "shownentry.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
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

QPalette::ColorGroup colourGroup(const QStyleOptionViewItem &item)
{
    if (!(item.state & QStyle::State_Enabled))
        return QPalette::Disabled;
    return (item.state & QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
}

// The ranges of the row's text that are marks, in the colour they are drawn.
QList<QTextLayout::FormatRange> markRanges(const QStyleOptionViewItem &item)
{
    QList<QTextLayout::FormatRange> ranges;
    const QPalette::ColorGroup group = colourGroup(item);
    QColor colour = item.palette.color(group, QPalette::PlaceholderText);
    if (item.state & QStyle::State_Selected) {
        // On the highlight, the highlighted text's colour, fainter.
        colour = item.palette.color(group, QPalette::HighlightedText);
        colour.setAlphaF(0.6f);
    }
    const QStringView text = item.text;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != u'\u00B6' && text.at(i) != u'\u2039')
            continue;
        if (const qsizetype length = markLengthAt(text, i)) {
            QTextLayout::FormatRange range;
            range.start = int(i);
            range.length = int(length);
            range.format.setForeground(colour);
            ranges.append(range);
            i += length - 1;
        }
    }
    return ranges;
}

} // namespace

void CutOffToolTip::paint(QPainter *painter, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QList<QTextLayout::FormatRange> marks = markRanges(item);
    if (marks.isEmpty())
        return QStyledItemDelegate::paint(painter, option, index);

    // The style draws the row without its text, which is drawn here as the
    // style would, but for the colour of the marks.
    const QWidget *widget = item.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget)
                                   .adjusted(margin, 0, -margin, 0);
    const QString text = item.text;
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    QTextLayout layout(text, item.font);
    QTextOption textOption(QStyle::visualAlignment(item.direction, item.displayAlignment));
    textOption.setWrapMode(QTextOption::NoWrap);
    textOption.setTextDirection(item.direction);
    layout.setTextOption(textOption);
    layout.setFormats(marks);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(textRect.width());
    layout.endLayout();

    const QPalette::ColorGroup group = colourGroup(item);
    painter->save();
    painter->setClipRect(textRect);
    painter->setPen(item.palette.color(
            group,
            (item.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    const qreal top = textRect.top() + (textRect.height() - line.height()) / 2;
    layout.draw(painter, QPointF(textRect.left(), top));
    painter->restore();
}

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
