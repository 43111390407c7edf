#pragma once
// Anything that is shown on a form: bounds, alignment, enabled and visible
// state, caption, hint, colour and font. A TControl that is not a TWinControl
// (labels, speed buttons, splitters) never takes the focus.
#include "platform/controls/Graphics.h"
#include "platform/model/Events.h"
#include "platform/model/TComponent.h"

#include <string>

class TWinControl;
class TCustomForm;

class TControl : public TComponent {
public:
    DECLARE_CLASS_NAME(TControl)
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* AParent);
    // The form this control is placed on, or nullptr.
    TCustomForm* GetParentForm() const;

    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool value);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool value);
    // Enabled, and every parent enabled too.
    bool IsEnabledInChain() const;
    // Visible, and every parent visible too.
    bool IsShowing() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);

    TAlign Align() const { return align_; }
    void SetAlign(TAlign value);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& value);
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& value);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value) { showHint_ = value; }
    // What assistive technology says of the control: its name (when no
    // label, caption or hint names it) and what it is for.
    const std::string& AccessibleName() const { return accessibleName_; }
    void SetAccessibleName(const std::string& value);
    const std::string& AccessibleDescription() const { return accessibleDescription_; }
    void SetAccessibleDescription(const std::string& value);

    TColor Color() const { return color_; }
    void SetColor(TColor value);
    const TFont& Font() const { return font_; }
    void SetFont(const TFont& value);
    void SetFontStyle(const TFontStyles& value);
    void SetFontSize(int value);
    void SetFontName(const std::string& value);
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool value) { parentFont_ = value; }

    const TNotifyEvent& OnClick() const { return onClick_; }
    void SetOnClick(TNotifyEvent value) { onClick_ = std::move(value); }
    const TNotifyEvent& OnDblClick() const { return onDblClick_; }
    void SetOnDblClick(TNotifyEvent value) { onDblClick_ = std::move(value); }

    // Runs the click event (the caller has checked that the control takes input).
    virtual void Click();
    virtual void DblClick();

    // Asks for the control to be drawn again; counted so tests can see redraws.
    void Invalidate();
    void Repaint() { Invalidate(); }
    void Refresh() { Invalidate(); }
    int PaintCount() const { return paintCount_; }

    // Raised by Invalidate: views redraw.
    Signal<> Painted;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TWinControl* parent_ = nullptr;
    bool enabled_ = true;
    bool visible_ = true;
    int left_ = 0;
    int top_ = 0;
    int width_ = 0;
    int height_ = 0;
    TAlign align_ = TAlign::alNone;
    std::string caption_;
    std::string hint_;
    std::string accessibleName_;
    std::string accessibleDescription_;
    bool showHint_ = false;
    TColor color_ = clBtnFace;
    TFont font_;
    bool parentFont_ = true;
    TNotifyEvent onClick_;
    TNotifyEvent onDblClick_;
    int paintCount_ = 0;
};
