#pragma once
// A window of the application. The form owns its components and drives the
// focus: FocusControl runs exit events from the control being left outward,
// then enter events inward to the control being entered. While they run, the
// new control already is the active control. A handler that moves the focus
// itself ends the first move: no further exit or enter event of it runs. An
// error raised by a handler ends the move too and goes on to the caller.
#include "platform/controls/TWinControl.h"

#include <string>

class HandlerTable;

enum class TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poOwnerFormCenter };

class TCustomForm : public TWinControl {
public:
    DECLARE_CLASS_NAME(TCustomForm)
    explicit TCustomForm(TComponent* AOwner);
    ~TCustomForm() override;

    // The table of handlers that the form's resources bind by name. A derived
    // form class returns its own table, chained to its base class's.
    virtual const HandlerTable& GetHandlerTable() const;
    // Called once the resources are read, before the create event: a form
    // class binds its component fields here.
    virtual void ResourcesLoaded() {}

    TWinControl* ActiveControl() const { return focused_; }
    // Before the form is shown this only records the control to focus first.
    void SetActiveControl(TWinControl* AControl);
    void FocusControl(TWinControl* AControl);
    // Whether the exit and enter handlers of a focus move are running: a
    // message they show answers the move (a check of what was typed).
    bool MovingFocus() const { return movingFocus_ > 0; }
    // Moves the focus to the next (or previous) control in tab order that can
    // take it and is a tab stop.
    void SelectNext(TWinControl* curControl, bool goForward);
    // A character key typed while this form is active: Tab moves the focus
    // unless the focused control wants it; anything else goes to the control.
    void DispatchKey(char Key);
    void DispatchDelete();

    TFormStyle FormStyle() const { return formStyle_; }
    void SetFormStyle(TFormStyle value) { formStyle_ = value; }
    // A form's Width and Height are those of its window; its controls lie in
    // the client area inside the frame, the caption bar and the menu bar.
    static constexpr int kFrameWidth = 16;
    static constexpr int kFrameHeight = 59;
    int ClientWidth() const override { return Width() - kFrameWidth; }
    int ClientHeight() const override { return Height() - kFrameHeight; }

    TWindowState WindowState() const { return windowState_; }
    void SetWindowState(TWindowState value);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition value) { position_ = value; }

    // Makes the form visible (running OnShow the first time it shows), makes it
    // the active form and brings it to the front.
    void Show();
    void Hide();
    void BringToFront();
    // Runs OnClose and does what its close action says: hide, minimize, free
    // (destroyed once the running event is over) or nothing.
    void Close();
    // Schedules the form's destruction for when the running event is over.
    void Release();
    bool Showing() const { return Visible(); }

    void SetOnCreate(TNotifyEvent value) { onCreate_ = std::move(value); }
    void SetOnShow(TNotifyEvent value) { onShow_ = std::move(value); }
    void SetOnActivate(TNotifyEvent value) { onActivate_ = std::move(value); }
    void SetOnDeactivate(TNotifyEvent value) { onDeactivate_ = std::move(value); }
    void SetOnClose(TCloseEvent value) { onClose_ = std::move(value); }
    void SetOnDestroy(TNotifyEvent value) { onDestroy_ = std::move(value); }

    // Run by the application object.
    void DoCreate();
    void DoActivate();
    void DoDeactivate();

    // Raised when the focused control changes.
    Signal<> FocusChanged;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    void FocusFirst();

    TWinControl* focused_ = nullptr;
    TWinControl* initialControl_ = nullptr;
    // The innermost control whose enter event has run and whose exit has not.
    TWinControl* entered_ = nullptr;
    unsigned focusGeneration_ = 0;
    int movingFocus_ = 0;
    bool shown_ = false;
    TFormStyle formStyle_ = TFormStyle::fsNormal;
    TWindowState windowState_ = TWindowState::wsNormal;
    TPosition position_ = TPosition::poDesigned;
    TNotifyEvent onCreate_;
    TNotifyEvent onShow_;
    TNotifyEvent onActivate_;
    TNotifyEvent onDeactivate_;
    TCloseEvent onClose_;
    TNotifyEvent onDestroy_;
};
