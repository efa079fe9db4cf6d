#include "appinfo.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QString>

using namespace Qt::StringLiterals;

namespace AppInfo {

const QStringView Version = u"" LEXIVORN_PROJECT_VERSION;

namespace {

constexpr int IconSizes[] = {16, 24, 32, 48, 64, 128};

// The icon compiled into the program, decoded only when something draws it.
// QIcon::addFile decodes every image at once, which at start-up costs more
// than laying out the whole main window, and on most platforms nothing ever
// asks for the window icon's pixels.
class CompiledIconEngine final : public QIconEngine
{
public:
    QString key() const override { return u"lexivorn-compiled"_s; }
    QIconEngine *clone() const override { return new CompiledIconEngine; }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        // The images exist in one mode and state; the others are made from
        // them on demand, as for any icon built from files.
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        QList<QSize> sizes;
        for (int size : IconSizes)
            sizes.append(QSize(size, size));
        return sizes;
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return loaded().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return loaded().pixmap(size, 1.0, mode, state);
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        loaded().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

private:
    const QIcon &loaded()
    {
        if (m_icon.isNull()) {
            for (int size : IconSizes)
                m_icon.addFile(u":/icons/lexivorn-%1.png"_s.arg(size), QSize(size, size));
        }
        return m_icon;
    }

    QIcon m_icon;
};

} // namespace

QIcon applicationIcon()
{
    return QIcon(new CompiledIconEngine);
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
