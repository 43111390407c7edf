#include "platform/controls/TCustomForm.h"

#include "platform/controls/TApplication.h"
#include "platform/core/Exception.h"

#include <algorithm>

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner)
{
    SetVisible(false);
    Application().AddForm(this);
}

TCustomForm::~TCustomForm()
{
    if (onDestroy_ && !Application().Terminated()) {
        try {
            onDestroy_(this);
        } catch (...) {
            Application().HandleException(std::current_exception());
        }
    }
    focused_ = nullptr;
    entered_ = nullptr;
    initialControl_ = nullptr;
    DestroyComponents();
    Application().RemoveForm(this);
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation)
{
    TWinControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove) {
        if (AComponent == focused_) {
            focused_ = nullptr;
        }
        if (AComponent == entered_) {
            entered_ = nullptr;
        }
        if (AComponent == initialControl_) {
            initialControl_ = nullptr;
        }
    }
}

void TCustomForm::SetActiveControl(TWinControl* AControl)
{
    if (!shown_) {
        initialControl_ = AControl;
        if (AControl != nullptr) {
            FreeNotification(AControl);
        }
        return;
    }
    if (AControl != nullptr) {
        if (!AControl->CanFocus()) {
            throw EInvalidOperation("Cannot focus a disabled or invisible window");
        }
        FocusControl(AControl);
    }
}

void TCustomForm::FocusControl(TWinControl* AControl)
{
    if (AControl == nullptr || AControl == focused_ || !ContainsControl(AControl)) {
        return;
    }
    struct Moving {
        int& depth;
        explicit Moving(int& d) : depth(d) { ++depth; }
        ~Moving() { --depth; }
        Moving(const Moving&) = delete;
        Moving& operator=(const Moving&) = delete;
    } moving(movingFocus_);
    unsigned generation = ++focusGeneration_;
    focused_ = AControl;
    FreeNotification(AControl);
    FocusChanged.Emit();
    NotifyChanged();

    // Exits, from the innermost control entered outward, until the chain holds
    // the new control. The form itself is never left.
    while (entered_ != nullptr && entered_ != this && !entered_->ContainsControl(AControl)) {
        TWinControl* leaving = entered_;
        try {
            leaving->DoExit();
        } catch (...) {
            if (generation == focusGeneration_) {
                entered_ = leaving->Parent();
            }
            throw;
        }
        if (generation != focusGeneration_) {
            return;
        }
        entered_ = leaving->Parent();
    }

    // Enters, from the outermost container not yet entered inward.
    std::vector<TWinControl*> chain;
    for (TWinControl* c = AControl; c != nullptr && c != entered_ && c != this; c = c->Parent()) {
        chain.push_back(c);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        entered_ = *it;
        FreeNotification(entered_);
        (*it)->DoEnter();
        if (generation != focusGeneration_) {
            return;
        }
    }
}

namespace {
void CollectTabOrder(const TWinControl* container, std::vector<TWinControl*>& out)
{
    for (TWinControl* c : container->TabList()) {
        out.push_back(c);
        CollectTabOrder(c, out);
    }
}
} // namespace

void TCustomForm::SelectNext(TWinControl* curControl, bool goForward)
{
    std::vector<TWinControl*> all;
    CollectTabOrder(this, all);
    std::vector<TWinControl*> candidates;
    for (TWinControl* c : all) {
        if ((c->CanFocus() && c->TabStop()) || c == curControl) {
            candidates.push_back(c);
        }
    }
    if (candidates.empty()) {
        return;
    }
    auto it = std::find(candidates.begin(), candidates.end(), curControl);
    size_t n = candidates.size();
    size_t index = 0;
    if (it == candidates.end()) {
        index = goForward ? 0 : n - 1;
    } else {
        size_t pos = static_cast<size_t>(it - candidates.begin());
        index = goForward ? (pos + 1) % n : (pos + n - 1) % n;
    }
    TWinControl* next = candidates[index];
    if (next != curControl && next->CanFocus()) {
        FocusControl(next);
    }
}

void TCustomForm::DispatchKey(char Key)
{
    TWinControl* target = focused_;
    if (Key == '\t' && (target == nullptr || !target->WantsTab())) {
        SelectNext(target, true);
        return;
    }
    if (target != nullptr && target->IsEnabledInChain()) {
        target->KeyPress(Key);
    }
}

void TCustomForm::DispatchDelete()
{
    if (focused_ != nullptr && focused_->IsEnabledInChain()) {
        focused_->KeyDelete();
    }
}

void TCustomForm::SetWindowState(TWindowState value)
{
    if (windowState_ != value) {
        windowState_ = value;
        NotifyChanged();
    }
}

void TCustomForm::FocusFirst()
{
    if (focused_ != nullptr) {
        return;
    }
    if (initialControl_ != nullptr && initialControl_->CanFocus()) {
        FocusControl(initialControl_);
        return;
    }
    SelectNext(nullptr, true);
}

void TCustomForm::Show()
{
    if (formStyle_ == TFormStyle::fsMDIChild) {
        TCustomForm* main = Application().MainForm();
        if (main == nullptr || main->FormStyle() != TFormStyle::fsMDIForm) {
            throw EInvalidOperation("Cannot create form. No MDI forms are currently active");
        }
    }
    bool first = !Visible();
    SetVisible(true);
    if (first && onShow_) {
        onShow_(this);
    }
    BringToFront();
    if (!shown_) {
        shown_ = true;
        FocusFirst();
    }
}

void TCustomForm::Hide()
{
    if (Visible()) {
        SetVisible(false);
        Application().FormHidden(this);
    }
}

void TCustomForm::BringToFront()
{
    Application().ActivateForm(this);
}

void TCustomForm::Close()
{
    TCloseAction action = formStyle_ == TFormStyle::fsMDIChild ? TCloseAction::caMinimize : TCloseAction::caHide;
    if (onClose_) {
        onClose_(this, action);
    }
    switch (action) {
    case TCloseAction::caNone: break;
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
    case TCloseAction::caFree:
        Hide();
        Release();
        break;
    }
}

void TCustomForm::Release()
{
    Application().ReleaseForm(this);
}

void TCustomForm::DoCreate()
{
    if (onCreate_) {
        onCreate_(this);
    }
}

void TCustomForm::DoActivate()
{
    if (onActivate_) {
        onActivate_(this);
    }
}

void TCustomForm::DoDeactivate()
{
    if (onDeactivate_) {
        onDeactivate_(this);
    }
}

#include "platform/forms/HandlerTable.h"
#include "platform/model/ClassRegistration.h"

namespace {
const EnumNames<TFormStyle> kFormStyleNames = {{"fsNormal", TFormStyle::fsNormal},
                                               {"fsMDIChild", TFormStyle::fsMDIChild},
                                               {"fsMDIForm", TFormStyle::fsMDIForm},
                                               {"fsStayOnTop", TFormStyle::fsStayOnTop}};
const EnumNames<TWindowState> kWindowStateNames = {{"wsNormal", TWindowState::wsNormal},
                                                   {"wsMinimized", TWindowState::wsMinimized},
                                                   {"wsMaximized", TWindowState::wsMaximized}};
const EnumNames<TPosition> kPositionNames = {{"poDesigned", TPosition::poDesigned},
                                             {"poDefault", TPosition::poDefault},
                                             {"poScreenCenter", TPosition::poScreenCenter},
                                             {"poOwnerFormCenter", TPosition::poOwnerFormCenter}};

const ClassRegistration<TCustomForm>
    customFormClass("TCustomForm", "TWinControl", nullptr, [](ClassBuilder<TCustomForm>& c) {
        c.RegisterEnumProperty("FormStyle", kFormStyleNames, &TCustomForm::FormStyle, &TCustomForm::SetFormStyle);
        c.RegisterEnumProperty("WindowState", kWindowStateNames, &TCustomForm::WindowState,
                               &TCustomForm::SetWindowState);
        c.RegisterEnumProperty("Position", kPositionNames, &TCustomForm::Position, &TCustomForm::SetPosition);
        c.RegisterComponentProperty<TWinControl>("ActiveControl", &TCustomForm::ActiveControl,
                                                 &TCustomForm::SetActiveControl);
        c.RegisterEvent<TNotifyEvent>("OnCreate", &TCustomForm::SetOnCreate);
        c.RegisterEvent<TNotifyEvent>("OnShow", &TCustomForm::SetOnShow);
        c.RegisterEvent<TNotifyEvent>("OnActivate", &TCustomForm::SetOnActivate);
        c.RegisterEvent<TNotifyEvent>("OnDeactivate", &TCustomForm::SetOnDeactivate);
        c.RegisterEvent<TCloseEvent>("OnClose", &TCustomForm::SetOnClose);
        c.RegisterEvent<TNotifyEvent>("OnDestroy", &TCustomForm::SetOnDestroy);
        // The form owns every component its resource describes; controls are
        // also placed on it.
        c.SetAdoptChild([](TCustomForm& form, TComponent& child) {
            if (auto* control = dynamic_cast<TControl*>(&child)) {
                control->SetParent(&form);
            }
            return true;
        });
    });
} // namespace

const HandlerTable& TCustomForm::GetHandlerTable() const
{
    static const HandlerTable empty;
    return empty;
}
