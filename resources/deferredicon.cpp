#include "resources/deferredicon.h"

#include <QIconEngine>
#include <QString>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

class DeferredIconEngine final : public QIconEngine
{
public:
    DeferredIconEngine(std::function<QIcon()> make, const QList<QSize> &sizes)
        : m_make(std::move(make))
        , m_sizes(sizes)
    { }

    QString key() const override { return u"lexivorn-deferred"_s; }
    QIconEngine *clone() const override { return new DeferredIconEngine(*this); }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        if (m_sizes.isEmpty())
            return made().availableSizes(mode, state);
        // Sizes given up front are those of the images as made, in one mode
        // and state; the others are made from them on demand, as for any
        // icon built from files.
        if (mode != QIcon::Normal || state != QIcon::Off)
            return {};
        return m_sizes;
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return made().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return made().pixmap(size, 1.0, mode, state);
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        made().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

private:
    const QIcon &made()
    {
        if (m_make) {
            m_icon = m_make();
            m_make = nullptr;
        }
        return m_icon;
    }

    std::function<QIcon()> m_make;
    QList<QSize> m_sizes;
    QIcon m_icon;
};

} // namespace

QIcon deferredIcon(std::function<QIcon()> make, const QList<QSize> &sizes)
{
    return QIcon(new DeferredIconEngine(std::move(make), sizes));
}
