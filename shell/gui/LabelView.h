#pragma once
// A label: its caption without accelerator marks, in the model's font. A
// click runs the label's Click, which focuses its FocusControl.
#include "shell/gui/ControlView.h"

#include <QLabel>

class TLabel;

class LabelView : public QLabel, public ControlView {
    Q_OBJECT
public:
    LabelView(TLabel* label, QWidget* parent, FormView* form, ControlView* parentView);

    void SyncFromModel() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
};
