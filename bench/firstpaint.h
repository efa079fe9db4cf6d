#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>

// Ends the event loop with 0 at the first paint of a widget, or of any
// window when it watches the whole application. The exit is queued: the
// paint pass this event belongs to, and the flush of the window that
// follows it, finish before the loop ends.
class ExitOnFirstPaint final : public QObject
{
public:
    explicit ExitOnFirstPaint(QWidget *widget)
        : QObject(widget)
        , m_watched(widget)
    {
        widget->installEventFilter(this);
    }
    explicit ExitOnFirstPaint(QCoreApplication *application)
        : QObject(application)
        , m_watched(application)
    {
        application->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint || !isWatched(watched))
            return false;
        m_watched->removeEventFilter(this);
        QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                Qt::QueuedConnection);
        return false;
    }

private:
    bool isWatched(QObject *object) const
    {
        if (object == m_watched)
            return true;
        return m_watched == QCoreApplication::instance() && object->isWidgetType()
                && static_cast<QWidget *>(object)->isWindow();
    }

    QObject *m_watched;
};

// A probe whose window never paints (a platform that sends no expose events)
// must fail the benchmark, not hang it.
inline void failIfNoPaintWithin(int milliseconds, const char *probe)
{
    QTimer::singleShot(milliseconds, QCoreApplication::instance(), [probe] {
        std::fprintf(stderr, "%s: no paint within the time allowed\n", probe);
        QCoreApplication::exit(3);
    });
}
