#include "appinfo.h"

#include <QGuiApplication>
#include <QString>

namespace AppInfo {

const QStringView Version = u"" LEXIVORN_PROJECT_VERSION;

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/icons/lexivorn-%1.png").arg(size), QSize(size, size));
    return icon;
}

void applyApplicationInfo()
{
    QCoreApplication::setApplicationName(Name.toString());
    QCoreApplication::setApplicationVersion(Version.toString());
    QCoreApplication::setOrganizationName(Organization.toString());
    QCoreApplication::setOrganizationDomain(OrganizationDomain.toString());
    // No application display name: Qt would append it to every other
    // window's title ("Error — Lexivorn v1.0"), and those titles are fixed.
    // Lets Wayland compositors and taskbars match windows to the desktop
    // entry, and so to its icon.
    QGuiApplication::setDesktopFileName(DesktopId.toString());
    QGuiApplication::setWindowIcon(applicationIcon());
}

} // namespace AppInfo
