#include "ui/BatchListWidget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

namespace qp {

BatchListWidget::BatchListWidget(QWidget* parent) : QListWidget(parent) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    // Long lists stay fast: all rows are one line of text of the same height.
    setUniformItemSizes(true);
}

Qt::DropActions BatchListWidget::supportedDropActions() const {
    return Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
}

void BatchListWidget::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void BatchListWidget::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void BatchListWidget::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    QStringList paths;
    const QMimeData* given = event->mimeData();
    if (given && given->hasUrls()) {
        const QList<QUrl> urls = given->urls();
        for (const QUrl& url : urls) {
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
    }
    Q_EMIT dropped(paths);
}

void BatchListWidget::keyReleaseEvent(QKeyEvent* event) {
    QListWidget::keyReleaseEvent(event);
    Q_EMIT keyReleased(event->key(), event->modifiers(), event->isAutoRepeat());
}

} // namespace qp
