#pragma once
// A control that can hold other controls and, when IsFocusable says so, the
// input focus. Containers (panels, scroll boxes, forms) run enter and exit
// events as the focus moves into and out of them; the form drives those moves.
#include "platform/controls/TControl.h"

#include <vector>

class TWinControl : public TControl {
public:
    DECLARE_CLASS_NAME(TWinControl)
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(controls_.size()); }
    TControl* Controls(int index) const { return controls_.at(static_cast<size_t>(index)); }
    // True when AControl is this control or lies inside it.
    bool ContainsControl(const TControl* AControl) const;

    // Position among the parent's focusable children; setting it moves the
    // control there and renumbers its siblings.
    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value) { tabStop_ = value; }
    // Children that are TWinControls, in tab order.
    std::vector<TWinControl*> TabList() const;

    // Whether a control of this kind holds the input focus itself (edits,
    // lists, grids) rather than passing it to a child (panels).
    virtual bool IsFocusable() const { return false; }
    // Focusable, showing, enabled in its whole chain, and on a form.
    bool CanFocus() const;
    // True while this control has the input focus.
    bool Focused() const;
    // Moves the focus here; a control that cannot take it is left alone.
    void SetFocus();

    const TNotifyEvent& OnEnter() const { return onEnter_; }
    void SetOnEnter(TNotifyEvent value) { onEnter_ = std::move(value); }
    const TNotifyEvent& OnExit() const { return onExit_; }
    void SetOnExit(TNotifyEvent value) { onExit_ = std::move(value); }
    const TKeyPressEvent& OnKeyPress() const { return onKeyPress_; }
    void SetOnKeyPress(TKeyPressEvent value) { onKeyPress_ = std::move(value); }

    // Run by the form as the focus moves.
    virtual void DoEnter();
    virtual void DoExit();

    // A character key for this control (8 backspace, 9 tab, 13 enter, 27 escape
    // included): the key-press event first, which may swallow it by setting it
    // to 0, then the control's own reaction.
    void KeyPress(char& Key);
    // The Delete key, which is no character.
    virtual void KeyDelete() {}
    // Whether Tab goes to this control instead of moving the focus.
    virtual bool WantsTab() const { return false; }

    // Lays the aligned children out: top, bottom, left and right in turn, then
    // the client-aligned one in what is left.
    void AlignControls();
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;

    // Space between the control's edge and its aligned children (borders,
    // bevels).
    virtual int ClientInset() const { return 0; }
    // The size of the area inside the control where children are placed:
    // the whole control, less what the frame of a window takes.
    virtual int ClientWidth() const { return Width(); }
    virtual int ClientHeight() const { return Height(); }

    // Raised when children are added, removed or reordered.
    Signal<> ChildrenChanged;

protected:
    virtual void DoKeyPress(char& /*Key*/) {}

private:
    friend class TControl;
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);

    std::vector<TControl*> controls_;
    std::vector<TWinControl*> tabList_;
    bool tabStop_ = false;
    bool aligning_ = false;
    TNotifyEvent onEnter_;
    TNotifyEvent onExit_;
    TKeyPressEvent onKeyPress_;
};
