// A zone file dropped on the main dialog, also on one of its edit fields, is
// taken as Open Zone takes a chosen one.

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "main_dialog.h"

namespace plexor
{
    std::optional<QString> MainDialog::DroppedZoneFile(const QMimeData* data) const
    {
        if (data == nullptr || IsRunActive() || !data->hasUrls())
            return std::nullopt;
        const QList<QUrl> urls = data->urls();
        if (urls.size() != 1 || !urls.front().isLocalFile())
            return std::nullopt;
        const QFileInfo file(urls.front().toLocalFile());
        if (!file.isFile())
            return std::nullopt; // a folder, or nothing there
        return QDir::toNativeSeparators(file.absoluteFilePath());
    }

    std::optional<QString> MainDialog::AcceptZoneFileDrag(QDropEvent* event) const
    {
        std::optional<QString> path = DroppedZoneFile(event->mimeData());
        if (!path)
        {
            event->ignore();
            return std::nullopt;
        }
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return path;
    }

    void MainDialog::dragEnterEvent(QDragEnterEvent* event)
    {
        AcceptZoneFileDrag(event);
    }

    void MainDialog::dragMoveEvent(QDragMoveEvent* event)
    {
        AcceptZoneFileDrag(event);
    }

    void MainDialog::dropEvent(QDropEvent* event)
    {
        const std::optional<QString> dropped = AcceptZoneFileDrag(event);
        if (!dropped)
            return;
        // Taken after the drop has returned: a message box (a number field
        // that holds no integer) would otherwise hold the other program's
        // drag until it is closed.
        QMetaObject::invokeMethod(
            this,
            [this, path = *dropped] {
                if (!IsRunActive())
                    TakeZoneFile(path);
            },
            Qt::QueuedConnection);
    }

    bool MainDialog::eventFilter(QObject* watched, QEvent* event)
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop)
        {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData() != nullptr && drop->mimeData()->hasUrls())
            {
                if (type == QEvent::Drop)
                    dropEvent(drop);
                else
                    AcceptZoneFileDrag(drop);
                return true;
            }
        }
        return QDialog::eventFilter(watched, event);
    }
}
