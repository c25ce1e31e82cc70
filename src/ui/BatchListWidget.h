#pragma once

#include <QListWidget>

namespace qp {

// The batch list: takes drops of anything from the desktop and hands the local files among
// them to the window, which decides what to accept. QListWidget's own drag handling would
// reject foreign drops before the window ever saw them.
class BatchListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit BatchListWidget(QWidget* parent = nullptr);

Q_SIGNALS:
    // The local files of a drop, in the order given (none for a drop of something else).
    // The dropped data itself ends with the drop event.
    void dropped(const QStringList& paths);
    void keyReleased(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    Qt::DropActions supportedDropActions() const override;
};

} // namespace qp
