#include "filedroptarget.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <QWidget>

namespace {

// The files are only read: the program they came from must never take the
// drop for a move, and delete them.
void acceptAsCopy(QDropEvent *event)
{
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

using namespace Qt::StringLiterals;
using listfile::FileResult;

struct DroppedFiles
{
    QStringList fileNames;
    QList<FileResult> refused;

    bool isEmpty() const { return fileNames.isEmpty() && refused.isEmpty(); }
};

DroppedFiles droppedFiles(const QMimeData *data)
{
    DroppedFiles files;
    if (!data)
        return files;
    const QList<QUrl> urls = data->urls();
    for (const QUrl &url : urls) {
        if (!url.isLocalFile())
            continue;
        // Qt would make "//host/path" of a host, which is "/path" here: a
        // file of this computer that the URL does not name.
        const QString host = url.host();
        if (!host.isEmpty() && host.compare(u"localhost"_s, Qt::CaseInsensitive) != 0) {
            files.refused.append(FileResult::failure(
                    url.toDisplayString(),
                    u"The file is on another computer, \"%1\". Only files on this computer "
                    u"can be opened."_s.arg(host)));
            continue;
        }
        QUrl local = url;
        local.setHost(QString());
        const QString fileName = local.toLocalFile();
        // "%00" decodes to a NUL, where the system would end the name.
        if (fileName.contains(QChar::Null)) {
            files.refused.append(FileResult::failure(
                    url.toDisplayString(),
                    u"The file name holds a NUL character (%00), which no file name can hold."_s));
            continue;
        }
        files.fileNames.append(fileName);
    }
    return files;
}

// A frame over the whole window in the highlight colour, a sign that the
// files dragged over it are welcome; the drag passes through it.
class DropWelcome final : public QWidget
{
public:
    explicit DropWelcome(QWidget *window)
        : QWidget(window)
    {
        setObjectName(QStringLiteral("dropWelcome"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QColor fill = palette().color(QPalette::Highlight);
        fill.setAlphaF(0.12f);
        painter.fillRect(rect(), fill);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 3));
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
};

} // namespace

FileDropTarget::FileDropTarget(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

void FileDropTarget::showWelcome(bool shown)
{
    if (!m_welcome) {
        if (!shown)
            return;
        m_welcome = new DropWelcome(m_window);
    }
    if (shown) {
        m_welcome->setGeometry(m_window->rect());
        m_welcome->raise();
    }
    m_welcome->setVisible(shown);
}

bool FileDropTarget::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        const bool welcome = !droppedFiles(drag->mimeData()).isEmpty()
                && (drag->possibleActions() & Qt::CopyAction);
        if (welcome)
            acceptAsCopy(drag);
        else
            drag->ignore();
        showWelcome(welcome);
        return true;
    }
    case QEvent::DragLeave:
        showWelcome(false);
        return QObject::eventFilter(watched, event);
    case QEvent::Drop: {
        showWelcome(false);
        auto *drop = static_cast<QDropEvent *>(event);
        const DroppedFiles files = droppedFiles(drop->mimeData());
        if (files.isEmpty() || !(drop->possibleActions() & Qt::CopyAction)) {
            drop->ignore();
            return true;
        }
        acceptAsCopy(drop);
        emit filesDropped(files.fileNames, files.refused);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
