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
    // The close button hint stays: with it the window manager is told which
    // functions the window has, and openbox, for one, then leaves out the
    // minimize and maximize buttons; without it every function is offered.
    // The button is inert, as a greyed close button would be.
    window->installEventFilter(new CloseRefuser(window));
}
