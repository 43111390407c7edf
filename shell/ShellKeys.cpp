#include "shell/ShellKeys.h"

#include "host/TBtnPesquisa.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TSpeedButton.h"

#include <algorithm>
#include <vector>

bool ShellKeys::IsListStop(const TControl* control)
{
    return dynamic_cast<const TListBox*>(control) != nullptr || dynamic_cast<const TDBGrid*>(control) != nullptr;
}

namespace {

void CollectStops(const TWinControl* container, std::vector<TControl*>& out)
{
    for (TWinControl* c : container->TabList()) {
        if (c->CanFocus() && (c->TabStop() || ShellKeys::IsListStop(c))) {
            out.push_back(c);
        }
        CollectStops(c, out);
    }
    for (int i = 0; i < container->ControlCount(); ++i) {
        auto* button = dynamic_cast<TSpeedButton*>(container->Controls(i));
        if (button != nullptr && !button->ShortCut().empty() && button->IsEnabledInChain() && button->IsShowing()) {
            out.push_back(button);
        }
    }
}

} // namespace

std::vector<TControl*> ShellKeys::TabStops(const TCustomForm& form)
{
    std::vector<TControl*> stops;
    CollectStops(&form, stops);
    return stops;
}

bool ShellKeys::FocusNextList(TCustomForm& form)
{
    std::vector<TWinControl*> stops;
    for (int i = 0; i < form.ComponentCount(); ++i) {
        auto* control = dynamic_cast<TWinControl*>(form.Components(i));
        if (control != nullptr && IsListStop(control) && control->CanFocus()) {
            stops.push_back(control);
        }
    }
    if (stops.empty()) {
        return false;
    }
    auto at = std::find(stops.begin(), stops.end(), form.ActiveControl());
    TWinControl* next = at == stops.end() || std::next(at) == stops.end() ? stops.front() : *std::next(at);
    if (next != form.ActiveControl()) {
        next->SetFocus();
    }
    return true;
}

TBtnPesquisa* ShellKeys::LookupOf(const TControl* control)
{
    TCustomForm* form = control != nullptr ? control->GetParentForm() : nullptr;
    if (form == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < form->ComponentCount(); ++i) {
        auto* button = dynamic_cast<TBtnPesquisa*>(form->Components(i));
        if (button != nullptr && button->Associate() == control) {
            return button;
        }
    }
    return nullptr;
}

bool ShellKeys::OpenLookup(TCustomForm& form)
{
    TBtnPesquisa* button = LookupOf(form.ActiveControl());
    if (button == nullptr || !button->IsEnabledInChain() || !button->IsShowing()) {
        return false;
    }
    button->OperatorClick();
    return true;
}
