#pragma once

#include <QProxyStyle>

// The application's style, except that a menu bar's button for the commands
// that do not fit gets its icon made only when the button is first drawn.
// Qt's styles decode that icon from a PNG for every menu bar as it is made,
// and to read it Qt loads every image format plugin installed: a twentieth
// of the time to the first painted window, for a button shown only when the
// window is narrower than its menus.
class DeferredIconStyle final : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};
