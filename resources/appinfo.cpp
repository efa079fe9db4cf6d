#include "resources/appinfo.h"

#include "resources/deferredicon.h"

#include <QGuiApplication>
#include <QString>

using namespace Qt::StringLiterals;

namespace AppInfo {

const QStringView Version = u"" LEXIVORN_PROJECT_VERSION;

namespace {

constexpr int IconSizes[] = {16, 24, 32, 48, 64, 128};

} // namespace

QIcon applicationIcon()
{
    // Decoded only when something draws it: on most platforms nothing ever
    // asks for the window icon's pixels.
    QList<QSize> sizes;
    for (int size : IconSizes)
        sizes.append(QSize(size, size));
    return deferredIcon(
            [] {
                QIcon icon;
                for (int size : IconSizes)
                    icon.addFile(u":/icons/lexivorn-%1.png"_s.arg(size), QSize(size, size));
                return icon;
            },
            sizes);
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
