#include "progress/form2.h"

#include "host/hostui.h"
#include "host/taskbarstate.h"
#include "host/windowkeeper.h"
#include "uishared/twips.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace {

constexpr int TickInterval = 120; // milliseconds
// A read held up longer than this shows that work goes on.
constexpr int BusyAfter = 1000; // milliseconds
// How long showPainted() waits for the window to be on the screen.
constexpr int ExposeWaitLimit = 500; // milliseconds

// Screen readers take a plain top-level widget for filler; this one is a
// window, named and described by its accessible name and description.
QAccessibleInterface *windowFactory(const QString &className, QObject *object)
{
    if (className == QLatin1StringView(Form2::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

Form2::Form2(HostUi &host, QWidget *parent)
    // A borderless normal window, which every window manager gives the focus
    // to and lists in Alt+Tab; it is kept off the taskbar by its window
    // states (keepOffTaskbar), where that leaves it in Alt+Tab. With no frame
    // to click it has no way back to the front, so it stays there.
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_host(host)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(windowFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(u"Form2"_s);
    setAccessibleName(u"Progress"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(formFont());

    const auto twipsRect = [this](int left, int top, int width, int height) {
        return QRect(twipsToPixelsX(this, left), twipsToPixelsY(this, top),
                     twipsToPixelsX(this, width), twipsToPixelsY(this, height));
    };

    // The button exists only so the prompted save has a click action; the user
    // can neither see nor reach it.
    m_saveButton = new QPushButton(u"Command1"_s, this);
    m_saveButton->setObjectName(u"mnuSave"_s);
    m_saveButton->setGeometry(twipsRect(1680, 240, 1215, 495));
    m_saveButton->setFocusPolicy(Qt::NoFocus);
    m_saveButton->hide();
    connect(m_saveButton, &QPushButton::clicked, this, &Form2::mnuSave_Click);

    auto *const frame = new QFrame(this);
    frame->setObjectName(u"Frame1"_s);
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(twipsRect(0, 0, 4455, 855));

    m_label = new QLabel(frame);
    m_label->setObjectName(u"Label1"_s);
    m_label->setGeometry(twipsRect(240, 240, 4095, 255));

    m_progressBar = new QProgressBar(frame);
    m_progressBar->setObjectName(u"vbalProgressBar1"_s);
    m_progressBar->setGeometry(twipsRect(120, 480, 4215, 255));
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setAccessibleName(u"Sorting progress"_s);
    // The window's one stop for the keyboard, so that a screen reader
    // reaching the window reads the bar and the status with it.
    m_progressBar->setFocusPolicy(Qt::TabFocus);
    m_label->setBuddy(m_progressBar);
    setStatusText(u"Sorting text..."_s);

    setFixedSize(twipsToPixelsX(this, 4470), twipsToPixelsY(this, 870));
    centreOnScreen(this);
    keepWindowNormal(this);
    keepOffTaskbar(this);
    // The keyboard comes with it, so that a screen reader announces it and
    // Escape reaches it during a long read.
    takeFocusWhenShown(this);

    m_busyDelay = new QTimer(this);
    m_busyDelay->setSingleShot(true);
    m_busyDelay->setInterval(BusyAfter);
    connect(m_busyDelay, &QTimer::timeout, this, &Form2::showBusy);

    m_timer = new QTimer(this);
    m_timer->setObjectName(u"Timer1"_s);
    m_timer->setInterval(TickInterval);
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, &Form2::Timer1_Timer);
    m_timer->start();
}

void Form2::showPainted()
{
    show();
    // The window system tells when the window is on the screen; it does so
    // at once, but not synchronously. User input waits meanwhile.
    QElapsedTimer waited;
    waited.start();
    while (!windowHandle()->isExposed() && waited.elapsed() < ExposeWaitLimit)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
    repaint();
}

void Form2::holdTicks(bool held)
{
    m_held = held;
    if (held) {
        m_timer->stop();
        m_busyDelay->start();
        return;
    }
    m_busyDelay->stop();
    if (m_progressBar->maximum() == 0) {
        // The sequence starts from its beginning, as after any read.
        m_progressBar->setRange(0, 100);
        m_progressBar->setValue(0);
        setStatusText(u"Sorting text..."_s);
    }
    if (m_stage == Stage::Playing)
        m_timer->start();
}

void Form2::showBusy()
{
    if (!m_held)
        return;
    // A bar without a range moves on its own, however long the read takes.
    m_progressBar->setRange(0, 0);
    setStatusText(u"Please wait..."_s);
}

bool Form2::isBusy() const
{
    return m_held && m_progressBar->maximum() == 0;
}

int Form2::ProgressValue() const
{
    return m_progressBar->value();
}

void Form2::Timer1_Timer()
{
    if (m_held)
        return;
    const int value = ProgressValue() + 2;
    m_progressBar->setValue(value);
    switch (value) {
    case 10:
    case 30:
    case 50:
    case 70:
    case 90:
        setStatusText(u"Sorting text..."_s);
        break;
    case 20:
    case 40:
    case 60:
    case 80:
        setStatusText(u"Please wait..."_s);
        break;
    case 100:
        finish();
        break;
    default:
        break;
    }
}

void Form2::finish()
{
    m_stage = Stage::Prompting;
    m_timer->stop();
    emit mainWindowWanted();
    hide();
    const MessageReply answer =
            m_host.ShowMessage(u"Text was sorted successfully.\r\n\r\n   Would you like to save?"_s,
                               MessageStyle::YesNo, u"Finished"_s);
    if (answer == MessageReply::Yes)
        mnuSave_Click();
    m_stage = Stage::Unloading;
    // Deletion waits until this tick has returned (WA_DeleteOnClose defers it).
    close();
}

void Form2::mnuSave_Click()
{
    emit saveWanted();
}

void Form2::keyPressEvent(QKeyEvent *event)
{
    // Escape gives up a read that keeps the person waiting; the sequence
    // after a read plays to its end.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && m_held) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Form2::closeEvent(QCloseEvent *event)
{
    switch (m_stage) {
    case Stage::Playing:
        // Closed before its finish (by Escape or the window manager during a
        // read, which gives that read up; by the window manager during the
        // sequence; by the main window after a failed read): only the finish
        // would bring the main window back, so bring it back here, or it
        // stays hidden for good.
        m_timer->stop();
        m_busyDelay->stop();
        emit mainWindowWanted();
        m_stage = Stage::Unloading;
        event->accept();
        emit unloading();
        break;
    case Stage::Prompting:
        // The finish is asking or saving and will unload the window itself;
        // deleting it under that call would pull the window out from under it.
        event->ignore();
        break;
    case Stage::Unloading:
        event->accept();
        emit unloading();
        break;
    }
}

void Form2::setStatusText(const QString &text)
{
    m_label->setText(text);
    // Screen readers announce the status, not a fixed name, and find it on
    // the window and on the bar as their description.
    m_label->setAccessibleName(text);
    setAccessibleDescription(text);
    m_progressBar->setAccessibleDescription(text);
}
