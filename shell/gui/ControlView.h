#pragma once
// The Qt side of one model control. Each widget class that mirrors a control
// kind derives from its Qt widget and from ControlView: the widget draws, the
// ControlView keeps it in step with the model (bounds, visibility, enabled
// state, hint, font, colour) through the model's signals, and carries the
// operator's input back through Application().Dispatch.
//
// The model does all layout: widgets are placed at the model's bounds, and a
// container's child widgets are created and dropped as the model's children
// change. Every connection is scoped to the view, and a view whose control is
// destroyed drops the control at once and deletes its widget later, so no
// view ever reaches into a freed component.
#include "platform/core/Signal.h"
#include "shell/gui/ModelWatch.h"

#include <QPalette>
#include <QPoint>
#include <QPointer>

#include <functional>
#include <utility>
#include <vector>

class FormView;
class QDropEvent;
class QObject;
class QKeyEvent;
class QMouseEvent;
class QWidget;
class TControl;
class TWinControl;
struct TFont;

class ControlView {
public:
    ControlView(TControl* control, QWidget* widget, FormView* form, ControlView* parentView);
    virtual ~ControlView();
    ControlView(const ControlView&) = delete;
    ControlView& operator=(const ControlView&) = delete;

    // The mirrored control; null once it has been destroyed.
    TControl* Control() const { return control_; }
    QWidget* Widget() const { return widget_; }
    FormView* Form() const { return form_; }
    ControlView* ParentView() const { return parentView_; }

    // Reads everything the widget shows from the model again.
    virtual void SyncFromModel();
    // A key the control handles itself (the grid's row keys); true when taken.
    virtual bool HandleKey(QKeyEvent* /*event*/) { return false; }
    // The widget that holds the Qt focus while the model focuses this control.
    virtual QWidget* FocusWidget() { return widget_; }
    // Whether the widget takes typed keys (edits, lists, grids).
    virtual bool TakesKeys() const { return false; }

    // Containers: mirrors the model's children, creating views for new ones
    // and dropping those of controls that left, then stacks them in the
    // model's order.
    void SyncChildren();
    std::vector<ControlView*> ChildViews() const;

    // The font the control is drawn with: its own, or its parent's while it
    // follows the parent's.
    static TFont EffectiveFont(const TControl* control);

    // Lets go of the control for good: no more signals, the widget hidden
    // and deleted once the running event is over.
    void Retire();

    // While set, a change of a control is shown once the event loop turns,
    // however often the control changed meanwhile (a long command that
    // turns the loop at the display's pace toggles the toolbar at every
    // item); clearing it shows what waits at once.
    static void DeferSyncs(bool value);
    static bool SyncsDeferred();
    // Runs sync while syncs are deferred, at the next turn or when the
    // deferral ends, unless owner is gone by then; callers ask once per
    // change shown (see ModelChanged).
    static void SyncLater(QObject* owner, std::function<void()> sync);

protected:
    void Track(Connection c) { connections_.push_back(std::move(c)); }
    // The control is being destroyed.
    virtual void ModelGone() { Retire(); }
    // Called by Retire before the control is dropped: views that keep other
    // pointers into the model (item models) drop them here.
    virtual void Detach() {}
    // Where child widgets live and which model point that widget's origin is.
    virtual QWidget* ChildHost() { return widget_; }
    virtual QPoint ChildOrigin() const { return {0, 0}; }
    // A child widget moved or resized (scroll boxes follow their content).
    virtual void ChildGeometryChanged() {}
    // The palette role the model's Color paints.
    virtual QPalette::ColorRole ColorRole() const { return QPalette::Window; }
    virtual QString ToolTipText() const;
    // What a screen reader says for the control: its AccessibleName, else the
    // caption of the label whose FocusControl it is, else its own caption,
    // else its hint, else its name; the description is its
    // AccessibleDescription, else its hint when that is not already the name.
    QString AccessibleNameText() const;
    QString AccessibleDescriptionText(const QString& name) const;

    void ApplyGeometry();
    void ApplyLook();
    // Runs one piece of operator input on this control's form; false when the
    // control went away while it ran.
    bool Input(const std::function<void()>& input);

    // Dragging (DropRoutes): a press on an entry (onItem) arms a drag from a
    // control that is a drag source, a press elsewhere disarms it; a move with the left button held past the start
    // distance starts it (true then: the move is the drag's, not the control's).
    void ArmDrag(QPoint pos, bool onItem);
    bool DragMoved(QMouseEvent* event);
    // Over a drop target: accepted while the route's button is enabled.
    void DragOver(QDropEvent* event);
    // The drop clicks the route's button; false when it was no drop for here.
    bool Drop(QDropEvent* event);

private:
    void ModelChanged();
    static void FlushSyncs();

    TControl* control_;
    QWidget* widget_;
    FormView* form_;
    ControlView* parentView_;
    ModelWatch watch_;
    std::vector<Connection> connections_;
    std::vector<std::pair<TControl*, QPointer<QWidget>>> children_;
    QPoint dragFrom_;
    bool dragArmed_ = false;
    bool syncPending_ = false;
};
