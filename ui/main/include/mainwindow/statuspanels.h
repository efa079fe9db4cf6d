#pragma once

#include <QStatusBar>

class QLabel;
class QResizeEvent;
class QTimer;

// The main window's status bar: four fixed-width panels numbered from 1,
// the rights notice, the entry count, the current time and today's date.
// The time and date keep themselves current, refreshed at each minute.
class StatusPanels final : public QStatusBar
{
    Q_OBJECT

public:
    explicit StatusPanels(QWidget *parent = nullptr);

    // Panels are numbered 1 to 4, left to right.
    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refreshClock();

    QLabel *m_panels[4] = {};
    QTimer *m_clock = nullptr;
};
