#include "windowkeeper.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

constexpr Qt::WindowStates UnwantedStates =
        Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(u"wayland");
}

class NormalStateKeeper final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && onWayland()) {
            // A Wayland compositor that maximizes a window of fixed size
            // (weston does, from the title bar Qt draws there) ends the
            // program when the window keeps its size. The window takes the
            // size it is given instead, and is put back below.
            QTimer::singleShot(0, watched, [window = static_cast<QWidget *>(watched)] {
                window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            });
        } else if (event->type() == QEvent::WindowStateChange) {
            auto *window = static_cast<QWidget *>(watched);
            if (window->windowState() & UnwantedStates) {
                // Changing the state from inside its own change event is
                // undone by what follows it; it is put back once that has
                // run.
                QTimer::singleShot(0, window, [window] {
                    if (window->isVisible() && (window->windowState() & UnwantedStates))
                        window->setWindowState(window->windowState() & ~UnwantedStates);
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// The frame's rectangle centred in the screen's free area, moved right and
// down where it would start off that area.
QPoint centredFramePosition(const QSize &frameSize, const QRect &available)
{
    QRect frame = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameSize, available);
    frame.moveLeft(qMax(frame.left(), available.left()));
    frame.moveTop(qMax(frame.top(), available.top()));
    return frame.topLeft();
}

void placeCentred(QWidget *window)
{
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    // A window's position includes its frame; its frame's size is the
    // window's own until the window manager has framed it.
    window->move(centredFramePosition(window->frameGeometry().size(), screen->availableGeometry()));
}

// Places the window once more when it is first exposed, by then inside its
// frame.
class FirstExposure final : public QObject
{
public:
    explicit FirstExposure(QWidget *window)
        : QObject(window)
        , m_window(window)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == m_window && m_window->windowHandle()) {
            m_window->windowHandle()->installEventFilter(this);
            m_window->removeEventFilter(this);
        } else if (event->type() == QEvent::Expose && watched == m_window->windowHandle()
                   && m_window->windowHandle()->isExposed()) {
            watched->removeEventFilter(this);
            // After the expose has been handled, so that the frame's size is
            // known.
            QTimer::singleShot(0, m_window, [window = m_window] { placeCentred(window); });
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *m_window;
};

} // namespace

void keepWindowNormal(QWidget *window)
{
    window->installEventFilter(new NormalStateKeeper(window));
}

void centreOnScreen(QWidget *window)
{
    placeCentred(window);
    if (!window->isVisible())
        window->installEventFilter(new FirstExposure(window));
}
