#include "module1.h"

#include <QCloseEvent>
#include <QObject>
#include <QWidget>

namespace {

// Refuses every close request that reaches the window it watches: the
// title bar's close control, the window menu, Alt+F4 and the window
// manager's own request all arrive as a close event.
class CloseRefuser final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            // A close event starts out accepted: it has to be turned down
            // explicitly, not merely swallowed, or the window still closes.
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void RemoveCloseCommand(QWidget *window)
{
    // The close button hint stays, because without it window managers offer
    // every function, minimize and maximize included; the button is inert.
    window->installEventFilter(new CloseRefuser(window));
}
