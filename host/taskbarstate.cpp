#include "host/taskbarstate.h"

#include <QByteArray>
#include <QEvent>
#include <QWidget>

#ifdef LEXIVORN_HAVE_XCB
#include <QGuiApplication>
#include <QWindow>

#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>
#endif

namespace {

#ifdef LEXIVORN_HAVE_XCB
xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie =
            xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

xcb_get_property_reply_t *getProperty(xcb_connection_t *connection, xcb_window_t window,
                                      xcb_atom_t property, xcb_atom_t type)
{
    const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection, 0, window, property, type, 0, 1024);
    return xcb_get_property_reply(connection, cookie, nullptr);
}

// The window manager's name, as it gives it on its check window
// (_NET_SUPPORTING_WM_CHECK); empty where it gives none.
QByteArray windowManagerName(xcb_connection_t *connection)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_window_t check = XCB_WINDOW_NONE;
    if (xcb_get_property_reply_t *reply =
                getProperty(connection, root, internAtom(connection, "_NET_SUPPORTING_WM_CHECK"),
                            XCB_ATOM_WINDOW)) {
        if (reply->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(reply) >= 4)
            check = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply));
        std::free(reply);
    }
    QByteArray name;
    if (check == XCB_WINDOW_NONE)
        return name;
    if (xcb_get_property_reply_t *reply =
                getProperty(connection, check, internAtom(connection, "_NET_WM_NAME"),
                            internAtom(connection, "UTF8_STRING"))) {
        name = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
        std::free(reply);
    }
    return name;
}

// Whether the window manager's task switcher (Alt+Tab) still lists a window
// that is off the taskbar. KWin and icewm list it; openbox and mutter (GNOME)
// leave a window off the taskbar out of Alt+Tab and the overview too, xfwm4
// even one that is only off the pager. A window manager not named here is
// taken to leave it out: a window nobody can switch back to from the
// keyboard is lost under the next window opened over it, which a taskbar
// button never harmed.
bool switcherListsWindowsOffTaskbar(xcb_connection_t *connection)
{
    const QByteArray name = windowManagerName(connection);
    return name == "KWin" || name.startsWith("IceWM");
}

// Sets the two states in the window's _NET_WM_STATE where the window
// manager's switcher still lists the window then, and takes them out
// elsewhere. The window is not mapped yet: the window manager reads the
// property as it maps the window, and Qt keeps what it finds there when it
// adds its own states.
void setSkipStates(QWidget *window)
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto id = xcb_window_t(window->winId());
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t skipStates[] = {internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                     internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE)
        return;
    const bool wanted = switcherListsWindowsOffTaskbar(connection);

    std::vector<xcb_atom_t> states;
    if (xcb_get_property_reply_t *reply = getProperty(connection, id, state, XCB_ATOM_ATOM)) {
        if (reply->type == XCB_ATOM_ATOM && reply->format == 32) {
            const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
            states.assign(atoms, atoms + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    for (const xcb_atom_t atom : skipStates) {
        const auto found = std::find(states.begin(), states.end(), atom);
        if (atom == XCB_ATOM_NONE || (found != states.end()) == wanted)
            continue;
        if (wanted)
            states.push_back(atom);
        else
            states.erase(found);
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        uint32_t(states.size()), states.data());
    xcb_flush(connection);
}
// The X server's time now: that of a property change on a window made for
// it, on a connection of its own, whose events Qt does not take.
xcb_timestamp_t serverTimeNow()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    xcb_timestamp_t time = XCB_CURRENT_TIME;
    if (!xcb_connection_has_error(connection)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        const xcb_window_t window = xcb_generate_id(connection);
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK,
                          &events);
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME,
                            XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(connection);
        while (xcb_generic_event_t *event = xcb_wait_for_event(connection)) {
            const bool changed = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
            if (changed)
                time = reinterpret_cast<xcb_property_notify_event_t *>(event)->time;
            std::free(event);
            if (changed)
                break;
        }
    }
    xcb_disconnect(connection);
    return time;
}

// The window the window manager calls active, or none.
xcb_window_t activeWindow(xcb_connection_t *connection)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_window_t active = XCB_WINDOW_NONE;
    if (xcb_get_property_reply_t *reply = getProperty(
                connection, root, internAtom(connection, "_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW)) {
        if (reply->type == XCB_ATOM_WINDOW && xcb_get_property_value_length(reply) >= 4)
            active = *static_cast<const xcb_window_t *>(xcb_get_property_value(reply));
        std::free(reply);
    }
    return active;
}

bool noWindowActiveOnX11()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    return connection && activeWindow(connection) == XCB_WINDOW_NONE;
}

bool sendActivation(xcb_connection_t *connection, xcb_window_t window)
{
    const xcb_atom_t active = internAtom(connection, "_NET_ACTIVE_WINDOW");
    if (active == XCB_ATOM_NONE)
        return false;
    xcb_client_message_event_t message = {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = active;
    message.data.data32[0] = 1; // from an application
    message.data.data32[1] = serverTimeNow();
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
    return true;
}

bool requestFocusOnX11(QWidget *window)
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    return connection && sendActivation(connection, xcb_window_t(window->winId()));
}

// The topmost window the window manager manages that this process shows but
// Qt did not make: a dialog that another toolkit draws inside the program,
// as GTK draws the desktop's file dialog.
xcb_window_t topmostOtherToolkitWindow(xcb_connection_t *connection)
{
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    std::vector<xcb_window_t> clients;
    if (xcb_get_property_reply_t *reply =
                getProperty(connection, root, internAtom(connection, "_NET_CLIENT_LIST_STACKING"),
                            XCB_ATOM_WINDOW)) {
        if (reply->type == XCB_ATOM_WINDOW && reply->format == 32) {
            const auto *windows = static_cast<const xcb_window_t *>(xcb_get_property_value(reply));
            clients.assign(windows, windows + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
    }
    std::vector<xcb_window_t> qtWindows;
    const QWindowList windows = QGuiApplication::allWindows();
    for (const QWindow *window : windows) {
        if (window->handle())
            qtWindows.push_back(xcb_window_t(window->winId()));
    }
    const xcb_atom_t pidAtom = internAtom(connection, "_NET_WM_PID");
    const auto ownPid = uint32_t(::getpid());
    for (auto client = clients.crbegin(); client != clients.crend(); ++client) {
        if (std::find(qtWindows.begin(), qtWindows.end(), *client) != qtWindows.end())
            continue;
        uint32_t pid = 0;
        if (xcb_get_property_reply_t *reply =
                    getProperty(connection, *client, pidAtom, XCB_ATOM_CARDINAL)) {
            if (reply->type == XCB_ATOM_CARDINAL && xcb_get_property_value_length(reply) >= 4)
                pid = *static_cast<const uint32_t *>(xcb_get_property_value(reply));
            std::free(reply);
        }
        if (pid == ownPid)
            return *client;
    }
    return XCB_WINDOW_NONE;
}

bool focusOtherToolkitWindowOnX11()
{
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const xcb_window_t active = activeWindow(connection);
    const QWindowList windows = QGuiApplication::allWindows();
    const bool qtsActive = std::any_of(windows.begin(), windows.end(), [active](QWindow *window) {
        return window->handle() && xcb_window_t(window->winId()) == active;
    });
    if (!qtsActive)
        return false;
    const xcb_window_t window = topmostOtherToolkitWindow(connection);
    return window != XCB_WINDOW_NONE && sendActivation(connection, window);
}
#else
void setSkipStates(QWidget *) { }
bool noWindowActiveOnX11()
{
    return false;
}
bool requestFocusOnX11(QWidget *)
{
    return false;
}
bool focusOtherToolkitWindowOnX11()
{
    return false;
}
#endif

class TaskbarStateKeeper final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A window's own Show comes before it is mapped; the window manager
        // drops the states each time the window is hidden.
        if (event->type() == QEvent::Show && !event->spontaneous())
            setSkipStates(static_cast<QWidget *>(watched));
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void keepOffTaskbar(QWidget *window)
{
    window->installEventFilter(new TaskbarStateKeeper(window));
}

bool focusOtherToolkitWindow()
{
    return focusOtherToolkitWindowOnX11();
}

bool noWindowActive()
{
    return noWindowActiveOnX11();
}

void requestFocusNow(QWidget *window)
{
    if (!requestFocusOnX11(window))
        window->activateWindow();
}
