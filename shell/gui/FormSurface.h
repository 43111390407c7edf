#pragma once
// The client area of a form's window: the form's own ControlView, parent of
// the widgets of its top-level controls. Its size is the model form's client
// area; when the operator resizes the window, the model form takes the new
// size and lays its controls out again. The window builds the children once the
// surface is in place (SyncChildren), since they hang their shortcuts on it.
#include "shell/gui/ControlView.h"

#include <QWidget>

class TCustomForm;

class FormSurface : public QWidget, public ControlView {
    Q_OBJECT
public:
    FormSurface(TCustomForm* form, FormView* view);

    void SyncFromModel() override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void ModelGone() override;
};
