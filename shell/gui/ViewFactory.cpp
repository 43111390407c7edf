#include "shell/gui/ViewFactory.h"

#include "platform/controls/TCustomEdit.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TScrollBox.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TSplitter.h"
#include "shell/gui/EditView.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GridView.h"
#include "shell/gui/LabelView.h"
#include "shell/gui/ListBoxView.h"
#include "shell/gui/PanelView.h"
#include "shell/gui/ScrollBoxView.h"
#include "shell/gui/SpeedButtonView.h"
#include "shell/gui/SplitterView.h"

QWidget* ViewFactory::Create(TControl* control, QWidget* parent, FormView* form, ControlView* parentView)
{
    QWidget* widget = nullptr;
    if (auto* grid = dynamic_cast<TDBGrid*>(control)) {
        widget = new GridView(grid, parent, form, parentView);
    } else if (auto* list = dynamic_cast<TListBox*>(control)) {
        widget = new ListBoxView(list, parent, form, parentView);
    } else if (auto* edit = dynamic_cast<TCustomEdit*>(control)) {
        widget = new EditView(edit, parent, form, parentView);
    } else if (auto* button = dynamic_cast<TSpeedButton*>(control)) {
        widget = new SpeedButtonView(button, parent, form, parentView);
    } else if (auto* label = dynamic_cast<TLabel*>(control)) {
        widget = new LabelView(label, parent, form, parentView);
    } else if (auto* splitter = dynamic_cast<TSplitter*>(control)) {
        widget = new SplitterView(splitter, parent, form, parentView);
    } else if (dynamic_cast<TScrollBox*>(control) != nullptr) {
        widget = new ScrollBoxView(control, parent, form, parentView);
    } else {
        widget = new PanelView(control, parent, form, parentView);
    }
    if (auto* view = dynamic_cast<ControlView*>(widget); view != nullptr && view->TakesKeys()) {
        form->RouteKeys(widget);
    }
    return widget;
}
