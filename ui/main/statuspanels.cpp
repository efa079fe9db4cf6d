#include "mainwindow/statuspanels.h"

#include "resources/appinfo.h"
#include "uishared/twips.h"

#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QResizeEvent>
#include <QTime>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

struct PanelLayout
{
    int widthTwips;
    QStringView accessibleName; // what the panel shows, for screen readers
    QStringView toolTip;
};

constexpr PanelLayout Panels[4] = {
        {3000, u"Rights notice", {}}, // the tooltip repeats the notice itself
        {1990, u"Entry count", u"How many entries in the current list"},
        {1440, u"Current time", u"Current time"},
        {1440, u"Current date", u"Current date"},
};

// The gap between two panels, in pixels.
constexpr int PanelGap = 1;

} // namespace

StatusPanels::StatusPanels(QWidget *parent)
    : QStatusBar(parent)
{
    setSizeGripEnabled(false);
    // The panels are placed by hand: the bar's own layout keeps several
    // pixels between items and would push the four panels past the width of
    // the window they were measured for.
    for (int i = 0; i < 4; ++i) {
        auto *label = new QLabel(this);
        label->setObjectName(u"Panel%1"_s.arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setFixedWidth(twipsToPixelsX(this, Panels[i].widthTwips));
        if (!Panels[i].toolTip.isEmpty())
            label->setToolTip(Panels[i].toolTip.toString());
        m_panels[i] = label;
        setPanelText(i + 1, QString());
    }
    setPanelText(1, AppInfo::RightsNotice.toString());
    m_panels[0]->setToolTip(AppInfo::RightsNotice.toString());

    m_clock = new QTimer(this);
    m_clock->setSingleShot(true);
    m_clock->setTimerType(Qt::PreciseTimer);
    connect(m_clock, &QTimer::timeout, this, &StatusPanels::refreshClock);
    refreshClock();
}

void StatusPanels::setPanelText(int panel, const QString &text)
{
    QLabel *label = m_panels[panel - 1];
    label->setText(text);
    // Screen readers read the name instead of the text, so the name carries
    // both: "Entry count: 6".
    const QStringView what = Panels[panel - 1].accessibleName;
    label->setAccessibleName(text.isEmpty() ? what.toString() : what % u": "_s % text);
}

QString StatusPanels::panelText(int panel) const
{
    return m_panels[panel - 1]->text();
}

void StatusPanels::resizeEvent(QResizeEvent *event)
{
    QStatusBar::resizeEvent(event);
    int x = 0;
    for (QLabel *label : m_panels) {
        label->setGeometry(x, 0, label->width(), height());
        x += label->width() + PanelGap;
    }
}

namespace {

// The locale's short time format without seconds: the clock shows hours and
// minutes, and some short formats (the C locale's among them) carry seconds,
// which a clock refreshed once a minute would show wrong. Each run of "s"
// goes with the one separator before it. Done by hand: a regular expression
// compiled for this alone costs more than the rest of the status bar.
QString minutesTimeFormat(const QLocale &locale)
{
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    QString kept;
    kept.reserve(format.size());
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        const bool secondsFollow = i + 1 < format.size() && format.at(i + 1) == u's';
        if (c == u's' || ((c == u':' || c == u'.') && secondsFollow))
            continue;
        kept.append(c);
    }
    return kept;
}

// The locale's short date format with the year in four digits ("7/12/2005"
// under U.S. English): some locales shorten the year to two, which says
// neither the century nor, in day-first orders, which number is the year.
QString fourDigitYearDateFormat(const QLocale &locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString widened;
    widened.reserve(format.size() + 2);
    for (qsizetype i = 0; i < format.size();) {
        qsizetype run = 1;
        while (format.at(i) == u'y' && i + run < format.size() && format.at(i + run) == u'y')
            ++run;
        widened += format.at(i) == u'y' && run == 2 ? u"yyyy"_s : format.mid(i, run);
        i += run;
    }
    return widened;
}

} // namespace

void StatusPanels::refreshClock()
{
    const QLocale locale;
    setPanelText(3, locale.toString(QTime::currentTime(), minutesTimeFormat(locale)));
    setPanelText(4, locale.toString(QDate::currentDate(), fourDigitYearDateFormat(locale)));
    // Wake just past the next minute boundary rather than polling: the
    // panels show hours and minutes, so nothing changes in between.
    const int msecsIntoMinute = QTime::currentTime().msecsSinceStartOfDay() % 60'000;
    m_clock->start(60'000 - msecsIntoMinute + 20);
}
