#pragma once
// The application object: creates forms, knows the main form and the active
// one, holds the screen-wide cursor and reports errors raised in event
// handlers. One per process, reached through Application().
#include "platform/controls/Graphics.h"
#include "platform/controls/TCustomForm.h"
#include "platform/model/TComponent.h"

#include <exception>
#include <functional>
#include <vector>

class TCustomForm;

class TApplication : public TComponent {
public:
    DECLARE_CLASS_NAME(TApplication)
    TApplication();
    ~TApplication() override;

    // Creates a form owned by the application. The reference is set before the
    // form's resource is read and its create event runs, and set back to
    // nullptr (the form destroyed) if any of that fails.
    template <class T>
    void CreateForm(T*& reference)
    {
        T* form = new T(this);
        reference = form;
        try {
            InitializeForm(form);
        } catch (...) {
            reference = nullptr;
            delete form;
            throw;
        }
    }
    // Reads the form's resources (those of its class and of each ancestor
    // that has one, base first), lets the form bind its fields, and runs its
    // create event.
    static void InitializeForm(TCustomForm* form);

    TCustomForm* MainForm() const { return mainForm_; }
    void SetMainForm(TCustomForm* form) { mainForm_ = form; }
    TCustomForm* ActiveForm() const { return activeForm_; }
    // Every form that exists, in creation order.
    const std::vector<TCustomForm*>& Forms() const { return forms_; }

    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor value);

    // Shows the message of an error raised in an event handler; an EAbort
    // shows nothing, since its message has been shown already.
    void HandleException(std::exception_ptr error);
    // Runs one piece of operator input: errors go to HandleException, and
    // forms released meanwhile are destroyed afterwards.
    void Dispatch(const std::function<void()>& input);
    // Destroys the forms released since the last call.
    void ProcessReleases();
    bool Terminated() const { return terminated_; }

    // Called by forms.
    void AddForm(TCustomForm* form);
    void RemoveForm(TCustomForm* form);
    void ActivateForm(TCustomForm* form);
    void FormHidden(TCustomForm* form);
    void ReleaseForm(TCustomForm* form);

    // Raised when the active form, the set of forms or the cursor changes.
    Signal<> FormsChanged;
    Signal<> CursorChanged;

private:
    std::vector<TCustomForm*> forms_;
    std::vector<TCustomForm*> zOrder_; // front last
    std::vector<TCustomForm*> released_;
    TCustomForm* mainForm_ = nullptr;
    TCustomForm* activeForm_ = nullptr;
    TCursor cursor_ = crDefault;
    int dispatchDepth_ = 0;
    bool terminated_ = false;
};

TApplication& Application();
