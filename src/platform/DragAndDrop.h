#pragma once
// Dragging entries out of a list and dropping onto a list. A DragListBox lets its selected
// entries be dragged, carrying what the window puts into the drag (copy only: the entries
// never leave the list). A DropTarget takes drops onto a list: it asks whether the dragged
// data is welcome and hands it over on the drop; everything else is refused, and the
// list's own drop handling never runs.

#include <QListWidget>
#include <QObject>

#include <functional>

class QMimeData;

namespace platform {

class DragListBox : public QListWidget {
public:
    using DragData = std::function<QMimeData*(const QList<QListWidgetItem*>& items)>;
    explicit DragListBox(QWidget* parent = nullptr);
    // Entries can be dragged once this is set; `make` may return nullptr to refuse a drag.
    void setDragData(DragData make);

protected:
    QMimeData* mimeData(const QList<QListWidgetItem*>& items) const override;
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

private:
    DragData data_;
};

class DropTarget : public QObject {
public:
    using Welcome = std::function<bool(const QMimeData& data)>;
    using Dropped = std::function<void(const QMimeData& data)>;
    // Takes drops onto `list` (its viewport, where the drops arrive).
    DropTarget(QAbstractItemView* list, Welcome welcome, Dropped dropped);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Welcome welcome_;
    Dropped dropped_;
};

} // namespace platform
