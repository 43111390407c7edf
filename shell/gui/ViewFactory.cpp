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

QWidget* ViewFactory::Create(TControl* Control, QWidget* Parent, FormView* Form, ControlView* ParentView)
{
    QWidget* widget = nullptr;
    if (auto* grid = dynamic_cast<TDBGrid*>(Control)) {
        widget = new GridView(grid, Parent, Form, ParentView);
    } else if (auto* list = dynamic_cast<TListBox*>(Control)) {
        widget = new ListBoxView(list, Parent, Form, ParentView);
    } else if (auto* edit = dynamic_cast<TCustomEdit*>(Control)) {
        widget = new EditView(edit, Parent, Form, ParentView);
    } else if (auto* button = dynamic_cast<TSpeedButton*>(Control)) {
        widget = new SpeedButtonView(button, Parent, Form, ParentView);
    } else if (auto* label = dynamic_cast<TLabel*>(Control)) {
        widget = new LabelView(label, Parent, Form, ParentView);
    } else if (auto* splitter = dynamic_cast<TSplitter*>(Control)) {
        widget = new SplitterView(splitter, Parent, Form, ParentView);
    } else if (dynamic_cast<TScrollBox*>(Control) != nullptr) {
        widget = new ScrollBoxView(Control, Parent, Form, ParentView);
    } else {
        widget = new PanelView(Control, Parent, Form, ParentView);
    }
    if (auto* view = dynamic_cast<ControlView*>(widget); view != nullptr && view->TakesKeys()) {
        Form->RouteKeys(widget);
    }
    return widget;
}
