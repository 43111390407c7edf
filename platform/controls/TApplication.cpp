#include "platform/controls/TApplication.h"

#include "platform/controls/TCustomForm.h"
#include "platform/core/ErrorSink.h"
#include "platform/core/Exception.h"

#include "platform/core/ResourceTable.h"
#include "platform/forms/FormReader.h"
#include "platform/model/ClassRegistry.h"

#include <algorithm>

TApplication& Application()
{
    static TApplication* app = new TApplication(); // lives as long as the process
    return *app;
}

TApplication::TApplication() : TComponent(nullptr)
{
    SetName("Application");
}

TApplication::~TApplication()
{
    terminated_ = true;
    DestroyComponents();
}

void TApplication::InitializeForm(TCustomForm* form)
{
    bool hasResource = false;
    for (const std::string& cls : ClassRegistry::Ancestry(form->ClassName())) {
        if (ResourceTable::Find(FormReader::ResourceName(cls))) {
            hasResource = true;
        }
    }
    if (hasResource) {
        FormReader::Load(form, form->GetHandlerTable());
    }
    form->ResourcesLoaded();
    form->DoCreate();
}

void TApplication::SetCursor(TCursor value)
{
    if (cursor_ != value) {
        cursor_ = value;
        CursorChanged.Emit();
    }
}

void TApplication::HandleException(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
        // Already shown to the operator.
    } catch (const std::exception& e) {
        ErrorSink::Show(e.what());
    } catch (...) {
        ErrorSink::Show("Unknown error");
    }
}

void TApplication::Dispatch(const std::function<void()>& input)
{
    ++dispatchDepth_;
    try {
        input();
    } catch (...) {
        HandleException(std::current_exception());
    }
    --dispatchDepth_;
    if (dispatchDepth_ == 0) {
        ProcessReleases();
    }
}

void TApplication::ProcessReleases()
{
    while (!released_.empty()) {
        TCustomForm* form = released_.front();
        released_.erase(released_.begin());
        delete form;
    }
}

void TApplication::AddForm(TCustomForm* form)
{
    forms_.push_back(form);
    FormsChanged.Emit();
}

void TApplication::RemoveForm(TCustomForm* form)
{
    std::erase(forms_, form);
    std::erase(zOrder_, form);
    std::erase(released_, form);
    if (mainForm_ == form) {
        mainForm_ = nullptr;
    }
    if (activeForm_ == form) {
        activeForm_ = nullptr;
        for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
            if ((*it)->Visible()) {
                activeForm_ = *it;
                break;
            }
        }
    }
    if (!terminated_) {
        FormsChanged.Emit();
    }
}

void TApplication::ActivateForm(TCustomForm* form)
{
    std::erase(zOrder_, form);
    zOrder_.push_back(form);
    if (activeForm_ == form) {
        FormsChanged.Emit();
        return;
    }
    TCustomForm* old = activeForm_;
    activeForm_ = form;
    FormsChanged.Emit();
    if (old != nullptr) {
        old->DoDeactivate();
    }
    form->DoActivate();
}

void TApplication::FormHidden(TCustomForm* form)
{
    if (activeForm_ != form) {
        FormsChanged.Emit();
        return;
    }
    activeForm_ = nullptr;
    form->DoDeactivate();
    for (auto it = zOrder_.rbegin(); it != zOrder_.rend(); ++it) {
        if (*it != form && (*it)->Visible()) {
            ActivateForm(*it);
            return;
        }
    }
    FormsChanged.Emit();
}

void TApplication::ReleaseForm(TCustomForm* form)
{
    if (std::find(released_.begin(), released_.end(), form) == released_.end()) {
        released_.push_back(form);
    }
    if (dispatchDepth_ == 0) {
        ProcessReleases();
    }
}
