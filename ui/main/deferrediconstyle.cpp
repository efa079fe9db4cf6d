#include "deferrediconstyle.h"

#include "resources/deferredicon.h"

#include <QPointer>

QIcon DeferredIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                                      const QWidget *widget) const
{
    if (standardIcon != SP_ToolBarHorizontalExtensionButton)
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    // The option and the widget may be gone by the time the icon is drawn;
    // the menu bar passes neither. The style may be replaced meanwhile.
    const QPointer<QStyle> base = baseStyle();
    return deferredIcon(
            [base, standardIcon] { return base ? base->standardIcon(standardIcon) : QIcon(); });
}
