#include "menubarlook.h"

#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPointer>
#include <QProxyStyle>
#include <QShortcut>
#include <QStyleOptionMenuItem>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

class HighlightStyle final : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
        if (element != CE_MenuBarItem || !item || !(item->state & State_Selected)
            || !(item->state & State_Enabled)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        // The item is drawn as a plain one in the highlight colours, so that
        // its text stays where the style puts it.
        QStyleOptionMenuItem highlighted = *item;
        highlighted.state &= ~(State_Selected | State_Sunken | State_MouseOver);
        QPalette &palette = highlighted.palette;
        for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Button})
            palette.setBrush(role, item->palette.brush(QPalette::Highlight));
        for (const QPalette::ColorRole role :
             {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            palette.setBrush(role, item->palette.brush(QPalette::HighlightedText));
        QProxyStyle::drawControl(element, &highlighted, painter, widget);
    }
};

class BarSeparator final : public QAction
{
    Q_OBJECT

public:
    using QAction::QAction;
};

// What screen readers are told of a BarSeparator.
class SeparatorInterface final : public QAccessibleInterface
{
public:
    explicit SeparatorInterface(QAction *action)
        : m_action(action)
    { }

    bool isValid() const override { return m_action && bar(); }
    QObject *object() const override { return m_action; }
    QWindow *window() const override { return bar()->window()->windowHandle(); }
    QAccessibleInterface *parent() const override
    {
        return QAccessible::queryAccessibleInterface(bar());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text) const override { return {}; }
    void setText(QAccessible::Text, const QString &) override { }
    QAccessible::Role role() const override { return QAccessible::Separator; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.disabled = !m_action->isEnabled();
        return state;
    }
    QRect rect() const override
    {
        const QRect item = bar()->actionGeometry(m_action);
        return QRect(bar()->mapToGlobal(item.topLeft()), item.size());
    }

private:
    QMenuBar *bar() const { return qobject_cast<QMenuBar *>(m_action->parent()); }

    QPointer<QAction> m_action;
};

QAccessibleInterface *separatorFactory(const QString &className, QObject *object)
{
    if (className == QLatin1StringView(BarSeparator::staticMetaObject.className()))
        return new SeparatorInterface(static_cast<QAction *>(object));
    return nullptr;
}

} // namespace

void highlightActiveItem(QMenuBar *bar)
{
    auto *style = new HighlightStyle;
    style->setParent(bar);
    bar->setStyle(style);
}

void reachBarByF10(QMenuBar *bar)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_F10), bar->window());
    QObject::connect(shortcut, &QShortcut::activated, bar, [bar] {
        // The bar watches its window for Alt: the press arrives as a
        // shortcut override, the release ends it and enters (or leaves) the
        // bar, with the focus put back where it was on leaving. A key event
        // of Alt itself reports the Alt modifier flipped, as X11 gives the
        // modifiers from before the key: none here reads as Alt held.
        QWidget *window = bar->window();
        QKeyEvent press(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
        QCoreApplication::sendEvent(window, &release);
    });
}

QAction *addBarSeparator(QMenuBar *bar, const QString &name)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(separatorFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    auto *separator = new BarSeparator(u"|"_s, bar);
    separator->setObjectName(name);
    separator->setEnabled(false);
    bar->addAction(separator);
    return separator;
}

#include "menubarlook.moc"
