#include "host/windowkeeper.h"

#include "host/taskbarstate.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
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

// Wayland gives a program no way to take its window out of minimized, and
// the title bar Qt draws where the compositor draws none (weston) offers
// minimize on every window; weston then shows the window nowhere. A box or
// dialog so hidden is closed, as Escape closes it, and the program goes on;
// any other window is shown anew.
void bringBackOnWayland(QWidget *window)
{
    if (window->isModal() && qobject_cast<QDialog *>(window)) {
        window->close();
        return;
    }
    window->hide();
    window->show();
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
                // The window comes back with the keyboard, as one a person
                // brings back does.
                QTimer::singleShot(0, window, [window] {
                    if (!window->isVisible() || !(window->windowState() & UnwantedStates))
                        return;
                    const bool minimized = window->windowState() & Qt::WindowMinimized;
                    window->setWindowState(window->windowState() & ~UnwantedStates);
                    if (minimized && onWayland())
                        bringBackOnWayland(window);
                    window->activateWindow();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

class FocusTaker final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Before the window is mapped: Qt asks once it is.
        if (event->type() == QEvent::Show && !event->spontaneous())
            static_cast<QWidget *>(watched)->activateWindow();
        return QObject::eventFilter(watched, event);
    }
};

// The frame's rectangle centred in the screen's free area, moved right and
// down where it would start off that area: a window larger than the screen
// keeps its title bar and menu bar on it.
QPoint centredFramePosition(const QSize &frameSize, const QRect &available)
{
    QRect frame = QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, frameSize, available);
    frame.moveLeft(qMax(frame.left(), available.left()));
    frame.moveTop(qMax(frame.top(), available.top()));
    return frame.topLeft();
}

// Where the window's client area goes for its frame to be centred, by the
// frame the window system reports now (none before the window manager has
// framed the window).
QPoint centredClientPosition(const QWidget *window)
{
    const QScreen *screen = window->screen();
    const QWindow *handle = window->windowHandle();
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    if (!screen)
        return window->pos();
    const QPoint frameTopLeft =
            centredFramePosition(window->size().grownBy(frame), screen->availableGeometry());
    return frameTopLeft + QPoint(frame.left(), frame.top());
}

// Places the client area itself: a position given for the frame is read
// against whatever frame Qt knew last, which for a window shown and hidden
// before it was framed is none, and the window lands half a title bar low.
void placeCentred(QWidget *window)
{
    const QPoint position = centredClientPosition(window);
    if (window->geometry().topLeft() != position)
        window->setGeometry(QRect(position, window->size()));
}

// Centres the window again whenever the window system tells of its frame,
// until the window has been on the screen centred inside a frame, or has
// been shown and hidden again. A window without a frame, which no one can
// move, is kept centred for the whole of its first showing, whatever the
// window manager does with it meanwhile.
class FirstPlacement final : public QObject
{
public:
    explicit FirstPlacement(QWidget *window)
        : QObject(window)
        , m_window(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window) {
            if (event->type() == QEvent::Show && !m_handle && m_window->windowHandle()) {
                m_handle = m_window->windowHandle();
                m_handle->installEventFilter(this);
            } else if (event->type() == QEvent::Hide && m_exposed) {
                deleteLater();
            }
        } else if (watched == m_handle
                   && ((event->type() == QEvent::Expose && m_handle->isExposed())
                       || (event->type() == QEvent::Move && m_exposed))) {
            m_exposed = true;
            // Once the event has been handled, so that the frame is known.
            QTimer::singleShot(0, this, &FirstPlacement::settle);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void settle()
    {
        if (!m_handle || !m_window->isVisible())
            return;
        placeCentred(m_window);
        if (!m_handle->frameMargins().isNull())
            deleteLater();
    }

    QWidget *m_window;
    QPointer<QWindow> m_handle;
    bool m_exposed = false;
};

// Calls the fit with the screen's room before each showing, and again when
// the window moves to another screen or the frame turns out other than was
// assumed.
class ScreenFitter final : public QObject
{
public:
    ScreenFitter(QWidget *window, std::function<void(const QSize &)> fit)
        : QObject(window)
        , m_window(window)
        , m_fit(std::move(fit))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && event->type() == QEvent::Show && !event->spontaneous()) {
            if (QWindow *handle = m_window->windowHandle(); handle && !m_handle) {
                m_handle = handle;
                handle->installEventFilter(this);
                connect(handle, &QWindow::screenChanged, this, &ScreenFitter::fit);
            }
            fit();
        } else if (watched == m_handle && event->type() == QEvent::Expose
                   && m_handle->frameMargins() != m_frame) {
            // Once the event has been handled, so that the frame is known.
            QTimer::singleShot(0, this, &ScreenFitter::fit);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void fit()
    {
        const QScreen *screen = m_window->screen();
        if (!screen)
            return;
        m_frame = m_handle ? m_handle->frameMargins() : QMargins();
        m_fit(screen->availableGeometry().size().shrunkBy(m_frame));
    }

    QWidget *m_window;
    QPointer<QWindow> m_handle;
    QMargins m_frame;
    std::function<void(const QSize &)> m_fit;
};

} // namespace

void fitToScreen(QWidget *window, std::function<void(const QSize &room)> fit)
{
    new ScreenFitter(window, std::move(fit));
}

void keepWindowNormal(QWidget *window)
{
    window->installEventFilter(new NormalStateKeeper(window));
}

void takeFocusWhenShown(QWidget *window)
{
    window->installEventFilter(new FocusTaker(window));
}

namespace {

// Asks for the focus, and again a little later while no window at all has
// it: the desktop's own dialog leaves the screen in its own time, and a
// window manager that turns to the desktop as it goes (openbox, now and
// then, after GTK's dialog has entered a folder) would otherwise leave the
// keyboard there. Once any window is active, the person's choice stands.
void requestFocusWhileNoneActive(const QPointer<QWidget> &window, int tries)
{
    if (!window || !window->isVisible())
        return;
    requestFocusNow(window);
    if (tries <= 1)
        return;
    QTimer::singleShot(250, window, [window, tries] {
        if (window && !window->isActiveWindow() && !QApplication::activeModalWidget()
            && noWindowActive())
            requestFocusWhileNoneActive(window, tries - 1);
    });
}

} // namespace

void takeFocusBack(QWidget *window)
{
    if (!window)
        return;
    // Once the events queued meanwhile have run: the desktop's own dialog
    // is taken off the screen by its toolkit then, and a request that came
    // before would find it still there, and give it the focus.
    QTimer::singleShot(0, window, [window = QPointer<QWidget>(window)] {
        requestFocusWhileNoneActive(window, 8);
    });
}

void centreOnScreen(QWidget *window)
{
    placeCentred(window);
    if (!window->isVisible())
        new FirstPlacement(window);
}
