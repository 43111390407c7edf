#pragma once
// A panel, or any container without a widget of its own: it fills itself with
// the model's colour and draws the outer bevel, the border and the inner
// bevel the model counts in its client inset, then its caption, if any.
#include "shell/gui/ControlView.h"

#include <QWidget>

class PanelView : public QWidget, public ControlView {
    Q_OBJECT
public:
    PanelView(TControl* control, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
