#include "platform/DragAndDrop.h"

#include <QDropEvent>
#include <QMimeData>

namespace platform {

DragListBox::DragListBox(QWidget* parent) : QListWidget(parent) {}

void DragListBox::setDragData(DragData make) {
    data_ = std::move(make);
    setDragEnabled(true);
}

QMimeData* DragListBox::mimeData(const QList<QListWidgetItem*>& items) const {
    return data_ && !items.isEmpty() ? data_(items) : nullptr;
}

DropTarget::DropTarget(QAbstractItemView* list, Welcome welcome, Dropped dropped)
    : QObject(list), welcome_(std::move(welcome)), dropped_(std::move(dropped)) {
    list->setAcceptDrops(true);
    list->viewport()->setAcceptDrops(true);
    list->viewport()->installEventFilter(this);
}

// A drop is taken as a copy: a source that would move its entries keeps them.
bool DropTarget::eventFilter(QObject* watched, QEvent* event) {
    (void)watched;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QMimeData* data = drop->mimeData();
        if (!data || !welcome_(*data)) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        if (event->type() == QEvent::Drop)
            dropped_(*data);
        return true;
    }
    case QEvent::DragLeave:
        return true;
    default:
        return false;
    }
}

} // namespace platform
