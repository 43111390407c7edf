#pragma once
// Creates the widget that mirrors a model control, by the control's kind.
class ControlView;
class FormView;
class QWidget;
class TControl;

class ViewFactory {
public:
    // The new widget, a child of Parent; it is also a ControlView.
    static QWidget* Create(TControl* Control, QWidget* Parent, FormView* Form, ControlView* ParentView);
};
