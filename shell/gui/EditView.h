#pragma once
// An edit or masked edit. The widget never edits by itself: typed keys go to
// the model form (the mask decides what is taken) and the widget shows the
// model's DisplayText with its selection and caret. Its context menu is Qt's
// own for edits (in the session's language), acting on the model: Cut, Copy,
// Paste, Delete and Select All.
#include "shell/gui/ControlView.h"

#include <QLineEdit>

class QMenu;
class TCustomEdit;

class EditView : public QLineEdit, public ControlView {
    Q_OBJECT
public:
    EditView(TCustomEdit* edit, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;
    bool TakesKeys() const override { return true; }
    // The context menu for the model's edit as it stands (the caller owns it).
    QMenu* CreateModelContextMenu();

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TCustomEdit* Edit() const;
};
