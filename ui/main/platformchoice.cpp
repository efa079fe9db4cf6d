#include "platformchoice.h"

#include <QProcessEnvironment>

using namespace Qt::StringLiterals;

QString choosePlatform(const QProcessEnvironment &environment)
{
    if (!environment.value(u"QT_QPA_PLATFORM"_s).isEmpty())
        return {};
    if (environment.value(u"DISPLAY"_s).isEmpty())
        return {};
    return u"xcb;wayland"_s;
}
