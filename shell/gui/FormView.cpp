#include "shell/gui/FormView.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormSurface.h"
#include "shell/gui/GlyphPainter.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/KeyRouter.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMoveEvent>
#include <QTimer>

int FormView::applyingModel_ = 0;

class FormView::Applying {
public:
    Applying() { ++applyingModel_; }
    ~Applying() { --applyingModel_; }
    Applying(const Applying&) = delete;
    Applying& operator=(const Applying&) = delete;
};

FormView::FormView(TCustomForm* form, QWidget* parent) : QMdiSubWindow(parent), form_(form), keys_(new KeyRouter(this))
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setOption(QMdiSubWindow::RubberBandResize, false);
    setWindowIcon(GlyphPainter::Icon("formulario", QSize(16, 16)));
    watch_.Watch(form_, [this] { FormGone(); });
    connections_.push_back(form_->FocusChanged.Connect([this] { FollowFocus(); }));
    connect(this, &QMdiSubWindow::windowStateChanged, this, &FormView::StateChangedByOperator);
    surface_ = new FormSurface(form_, this);
    setWidget(surface_);
    surface_->SyncChildren();
    // Shown by SyncFromModel once it is in its area, never as a window of
    // its own.
}

FormView::~FormView()
{
    connections_.clear();
    watch_.Unwatch();
    // The views unregister as they go, so they go while the map is whole.
    delete surface_;
    surface_ = nullptr;
}

void FormView::FormGone()
{
    connections_.clear();
    form_ = nullptr;
    hide();
    deleteLater();
}

ControlView* FormView::ViewOf(const TControl* control) const
{
    auto it = views_.find(control);
    return it == views_.end() ? nullptr : it->second;
}

QWidget* FormView::WidgetOf(const TControl* control) const
{
    ControlView* view = ViewOf(control);
    return view != nullptr ? view->Widget() : nullptr;
}

void FormView::Register(ControlView* view)
{
    views_[view->Control()] = view;
}

void FormView::Unregister(ControlView* view)
{
    for (auto it = views_.begin(); it != views_.end(); ++it) {
        if (it->second == view) {
            views_.erase(it);
            return;
        }
    }
}

void FormView::RouteKeys(QWidget* widget)
{
    widget->installEventFilter(keys_);
}

void FormView::Input(const std::function<void()>& input)
{
    if (form_ == nullptr) {
        return;
    }
    TCustomForm* form = form_;
    Application().Dispatch([form, &input] {
        if (Application().ActiveForm() != form && form->Visible()) {
            form->BringToFront();
        }
        input();
    });
    if (form_ != nullptr) {
        FollowFocus();
    }
}

QSize FormView::FrameSize() const
{
    if (layout() != nullptr) {
        layout()->activate();
    }
    QMargins m = contentsMargins();
    return {m.left() + m.right(), m.top() + m.bottom()};
}

void FormView::SyncFromModel()
{
    if (form_ == nullptr || surface_ == nullptr) {
        return;
    }
    Applying applying;
    QString title = GuiConvert::ToQt(form_->Caption());
    if (windowTitle() != title) {
        setWindowTitle(title);
    }
    if (form_->Visible() && !isVisible()) {
        show();
        shownOnce_ = true;
    }
    Qt::WindowStates state = windowState();
    switch (form_->WindowState()) {
    case TWindowState::wsMinimized:
        if (!(state & Qt::WindowMinimized)) {
            showMinimized();
        }
        break;
    case TWindowState::wsMaximized:
        if (!(state & Qt::WindowMaximized) || (state & Qt::WindowMinimized)) {
            showMaximized();
        }
        break;
    case TWindowState::wsNormal:
        if (state & (Qt::WindowMinimized | Qt::WindowMaximized)) {
            showNormal();
        }
        break;
    }
    if (form_->WindowState() == TWindowState::wsNormal) {
        QSize client(form_->ClientWidth(), form_->ClientHeight());
        if (surface_->size() != client) {
            resize(client + FrameSize());
        }
        QPoint at(form_->Left(), form_->Top());
        if (pos() != at) {
            move(at);
        }
    }
    if (!form_->Visible() && isVisible()) {
        hide();
    }
    if (form_->WindowState() == TWindowState::wsMaximized && !sizePending_) {
        // Maximized by the form itself, the window took the area's size while
        // the model was being applied; the form learns it once that is over,
        // so its controls are laid out over the whole area.
        sizePending_ = true;
        QTimer::singleShot(0, this, [this] {
            sizePending_ = false;
            if (surface_ != nullptr && isMaximized()) {
                SurfaceResized(surface_->size());
            }
        });
    }
}

void FormView::SurfaceResized(QSize size)
{
    if (form_ == nullptr || ApplyingModel() || !isVisible() || isMinimized() || size.isEmpty()) {
        return;
    }
    if (size.width() == form_->ClientWidth() && size.height() == form_->ClientHeight()) {
        return;
    }
    // The model's bounds are the whole window's; its frame is its own.
    TCustomForm* form = form_;
    QPoint at = isMaximized() ? QPoint(form->Left(), form->Top()) : pos();
    int width = size.width() + form->Width() - form->ClientWidth();
    int height = size.height() + form->Height() - form->ClientHeight();
    // The maximize and restore buttons resize the window before they say its
    // state changed: the form learns the state first, or the new bounds would
    // bring the window back in its old state at the new size.
    TWindowState shown = isMaximized() ? TWindowState::wsMaximized : TWindowState::wsNormal;
    bool restate = form->WindowState() != shown;
    Application().Dispatch([form, at, width, height, shown, restate] {
        if (restate) {
            form->SetWindowState(shown);
        }
        form->SetBounds(at.x(), at.y(), width, height);
    });
}

void FormView::moveEvent(QMoveEvent* event)
{
    QMdiSubWindow::moveEvent(event);
    if (form_ == nullptr || ApplyingModel() || !isVisible() || isMinimized() || isMaximized()) {
        return;
    }
    QPoint at = event->pos();
    if (at.x() == form_->Left() && at.y() == form_->Top()) {
        return;
    }
    TCustomForm* form = form_;
    Application().Dispatch([form, at] { form->SetBounds(at.x(), at.y(), form->Width(), form->Height()); });
}

void FormView::StateChangedByOperator(Qt::WindowStates /*oldState*/, Qt::WindowStates newState)
{
    if (form_ == nullptr || ApplyingModel() || !form_->Visible()) {
        return;
    }
    TWindowState state = TWindowState::wsNormal;
    if (newState & Qt::WindowMinimized) {
        state = TWindowState::wsMinimized;
    } else if (newState & Qt::WindowMaximized) {
        state = TWindowState::wsMaximized;
    }
    if (state != form_->WindowState()) {
        TCustomForm* form = form_;
        Application().Dispatch([form, state] { form->SetWindowState(state); });
    }
    if (form_ != nullptr && (newState & Qt::WindowActive)) {
        FollowFocus();
    }
}

void FormView::closeEvent(QCloseEvent* event)
{
    // The form decides what closing means (hide, minimize, free, nothing).
    event->ignore();
    if (form_ != nullptr) {
        TCustomForm* form = form_;
        Input([form] { form->Close(); });
    }
}

void FormView::FollowFocus()
{
    if (form_ == nullptr || surface_ == nullptr || !isVisible()) {
        return;
    }
    if (mdiArea() != nullptr && mdiArea()->activeSubWindow() != this) {
        return;
    }
    ControlView* view = ViewOf(form_->ActiveControl());
    QWidget* target = view != nullptr ? view->FocusWidget() : surface_;
    if (!target->hasFocus()) {
        target->setFocus(Qt::OtherFocusReason);
    }
}
