#pragma once

#include <QListWidget>

class QMimeData;

namespace qp {

// The batch list: takes drops of anything from the desktop and hands them to the window,
// which decides what to accept. QListWidget's own drag handling would reject foreign
// drops before the window ever saw them.
class BatchListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit BatchListWidget(QWidget* parent = nullptr);

Q_SIGNALS:
    void dropped(const QMimeData* data);
    void keyReleased(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    Qt::DropActions supportedDropActions() const override;
};

} // namespace qp
