#pragma once
// Creates the widget that mirrors a model control, by the control's kind.
class ControlView;
class FormView;
class QWidget;
class TControl;

class ViewFactory {
public:
    // The new widget, a child of parent; it is also a ControlView.
    static QWidget* Create(TControl* control, QWidget* parent, FormView* form, ControlView* parentView);
};
