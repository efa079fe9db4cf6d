#include "platformchoice.h"

#include <QProcessEnvironment>
#include <QStringList>

using namespace Qt::StringLiterals;

QString choosePlatform(const QProcessEnvironment &environment)
{
    if (!environment.value(u"QT_QPA_PLATFORM"_s).isEmpty())
        return {};
    if (environment.value(u"DISPLAY"_s).isEmpty())
        return {};
    return u"xcb;wayland"_s;
}

QString missingDisplay(const QProcessEnvironment &environment)
{
    if (!environment.value(u"DISPLAY"_s).isEmpty()
        || !environment.value(u"WAYLAND_DISPLAY"_s).isEmpty())
        return {};
    // QT_QPA_PLATFORM lists the platforms to try, each with its options.
    const QStringList chosen =
            environment.value(u"QT_QPA_PLATFORM"_s).split(u';', Qt::SkipEmptyParts);
    for (const QString &platform : chosen) {
        const QString name = platform.section(u':', 0, 0);
        if (name != u"xcb"_s && !name.startsWith(u"wayland"_s))
            return {};
    }
    return u"a graphical session is needed: neither DISPLAY nor WAYLAND_DISPLAY is set"_s;
}
