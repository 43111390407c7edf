#pragma once
// An edit or masked edit. The widget never edits by itself: typed keys go to
// the model form (the mask decides what is taken) and the widget shows the
// model's DisplayText with its selection and caret.
#include "shell/gui/ControlView.h"

#include <QLineEdit>

class TCustomEdit;

class EditView : public QLineEdit, public ControlView {
    Q_OBJECT
public:
    EditView(TCustomEdit* edit, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;
    bool TakesKeys() const override { return true; }

protected:
    QPalette::ColorRole ColorRole() const override { return QPalette::Base; }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TCustomEdit* Edit() const;
};
