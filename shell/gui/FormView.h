#pragma once
// The window of one model form: a multiple-document child window with the
// form's caption, minimize, maximize and close. It mirrors the form's
// position, size, visibility and window state both ways, sends the close box
// to the form's Close, and keeps the Qt focus on the widget of the form's
// ActiveControl, whatever moved it there (a click, Tab, or an exit handler
// that put it back).
//
// It opens inside its area, moved (and made smaller, down to its least size)
// where the form's place would cut it, and tells the form where it went. Its
// least size shows every control whole: the width and height its aligned
// panels and placed controls need, a splitter's side at its minimum.
#include "platform/core/Signal.h"
#include "shell/gui/ModelWatch.h"

#include <QMdiSubWindow>

#include <functional>
#include <unordered_map>

class ControlView;
class FormSurface;
class KeyRouter;
class TControl;
class TCustomForm;

class FormView : public QMdiSubWindow {
    Q_OBJECT
public:
    // Add the window to its area, then SyncFromModel shows it.
    explicit FormView(TCustomForm* form, QWidget* parent = nullptr);
    ~FormView() override;

    // The mirrored form; null once it has been destroyed.
    TCustomForm* Form() const { return form_; }
    FormSurface* Surface() const { return surface_; }
    // The view of one of the form's controls (the form itself included), or
    // null when it has none.
    ControlView* ViewOf(const TControl* control) const;
    QWidget* WidgetOf(const TControl* control) const;

    // Runs one piece of operator input on this form: the form becomes the
    // active one first, as a click into its window makes it; errors are
    // reported by the application. The Qt focus follows the model's after.
    void Input(const std::function<void()>& input);
    // Whether model changes are being applied to the windows right now: Qt
    // reactions to them are no operator input and are not sent back.
    static bool ApplyingModel() { return applyingModel_ > 0; }

    // Reads caption, bounds, visibility and window state from the form.
    void SyncFromModel();
    // Gives the Qt focus to the widget of the form's active control.
    void FollowFocus();

    // Called by the views.
    void Register(ControlView* view);
    void Unregister(ControlView* view);
    void RouteKeys(QWidget* widget);
    void SurfaceResized(QSize size);
    // The least client size that shows each of the form's controls whole.
    QSize LeastClientSize() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    class Applying;
    void StateChangedByOperator(Qt::WindowStates oldState, Qt::WindowStates newState);
    void FormGone();
    QSize FrameSize() const;
    // Where the form's window goes when it first shows: its own place, moved
    // and shrunk into the area as far as needed.
    QRect FittedPlace() const;
    // The splitters keep their sides' shares of the room.
    void ShareSplitters();

    TCustomForm* form_;
    FormSurface* surface_ = nullptr;
    KeyRouter* keys_;
    ModelWatch watch_;
    std::vector<Connection> connections_;
    std::unordered_map<const TControl*, ControlView*> views_;
    bool shownOnce_ = false;
    bool sizePending_ = false;
    static int applyingModel_;
};
