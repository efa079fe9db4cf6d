#pragma once

#include <QWidget>

class HostUi;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// The small borderless window that plays after each Open: 50 ticks of
// 120 ms alternating "Sorting text..." and "Please wait...", then it brings
// the main window back, asks whether to save and unloads itself.
// Closed any other way, it still brings the main window back. While a read
// keeps it waiting for long, it shows "Please wait..." over a moving bar,
// and Escape closes it. It knows no other window: it asks for the main
// window and for the save by signals.
class Form2 final : public QWidget
{
    Q_OBJECT
    // The name chosen in the prompted save.
    Q_PROPERTY(QString SavePath READ SavePath WRITE setSavePath)

public:
    explicit Form2(HostUi &host, QWidget *parent = nullptr);

    QString SavePath() const { return m_savePath; }
    void setSavePath(const QString &savePath) { m_savePath = savePath; }

    // Shows the window and paints it before returning, so that it is never
    // a blank frame on the screen, however busy the program is right after.
    void showPainted();
    // While held, as while the Open still reads its files, the window shows
    // and repaints but does not tick: the sequence plays once the list is
    // in order. Held for longer than a moment, it is busy: "Please wait..."
    // over a moving bar, and Escape closes the window; let go, it starts
    // the sequence from an empty bar.
    void holdTicks(bool held);
    bool isBusy() const;

    int ProgressValue() const;
    // One timer tick; the timer calls it every 120 ms while enabled.
    void Timer1_Timer();
    // The prompted save: asks for it with saveWanted().
    void mnuSave_Click();

signals:
    // Only this window's end brings the main window back.
    void mainWindowWanted();
    // Answered at once by the program's save routine, which sets SavePath
    // to the name chosen.
    void saveWanted();
    // The window is closing for good; it is deleted right after.
    void unloading();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Playing until the last tick; Prompting while the finish asks and saves;
    // Unloading once the window may go.
    enum class Stage { Playing, Prompting, Unloading };

    void finish();
    void showBusy();
    void setStatusText(const QString &text);

    HostUi &m_host;
    QLabel *m_label = nullptr;
    QProgressBar *m_progressBar = nullptr;
    QPushButton *m_saveButton = nullptr;
    QTimer *m_timer = nullptr;
    QTimer *m_busyDelay = nullptr;
    Stage m_stage = Stage::Playing;
    bool m_held = false;
    QString m_savePath;
};
