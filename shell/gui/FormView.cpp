#include "shell/gui/FormView.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TSplitter.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormSurface.h"
#include "shell/gui/GlyphPainter.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/KeyRouter.h"
#include "shell/gui/SplitterView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMoveEvent>
#include <QPointer>
#include <QTimer>

#include <algorithm>

int FormView::applyingModel_ = 0;

namespace {

// A list or grid that fills what is left keeps at least this much.
constexpr int kLeastFill = 60;

// The least client size of a container that shows its controls whole.
QSize LeastSize(const TWinControl* container)
{
    int stackedHeight = 0;
    int stackedWidth = 0;
    int sideWidth = 0;
    int sideHeight = 0;
    int placedWidth = 0;
    int placedHeight = 0;
    QSize fill(0, 0);
    for (int i = 0; i < container->ControlCount(); ++i) {
        const TControl* c = container->Controls(i);
        if (!c->Visible()) {
            continue;
        }
        QSize inner(0, 0);
        if (const auto* box = dynamic_cast<const TWinControl*>(c); box != nullptr && box->ControlCount() > 0) {
            int inset = 2 * box->ClientInset();
            inner = LeastSize(box) +
                    QSize(box->Width() - box->ClientWidth() + inset, box->Height() - box->ClientHeight() + inset);
        }
        int width = c->Width();
        for (int j = 0; j < container->ControlCount(); ++j) {
            auto* splitter = dynamic_cast<const TSplitter*>(container->Controls(j));
            if (splitter != nullptr && splitter->ResizedControl() == c) {
                width = std::max(splitter->MinSize(), inner.width());
            }
        }
        switch (c->Align()) {
        case TAlign::alTop:
        case TAlign::alBottom:
            stackedHeight += c->Height();
            stackedWidth = std::max(stackedWidth, inner.width());
            break;
        case TAlign::alLeft:
        case TAlign::alRight:
            sideWidth += width;
            sideHeight = std::max(sideHeight, inner.height());
            break;
        case TAlign::alClient: fill = inner.isEmpty() ? QSize(kLeastFill, kLeastFill) : inner; break;
        default:
            placedWidth = std::max(placedWidth, c->Left() + c->Width());
            placedHeight = std::max(placedHeight, c->Top() + c->Height());
            break;
        }
    }
    int width = std::max({stackedWidth, sideWidth + fill.width(), placedWidth});
    int height = std::max(stackedHeight + std::max(sideHeight, fill.height()), placedHeight);
    return {width, height};
}

} // namespace

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
    bool first = form_->Visible() && !isVisible() && !shownOnce_;
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
    setMinimumSize(LeastClientSize() + FrameSize());
    if (form_->WindowState() == TWindowState::wsNormal) {
        QRect place(form_->Left(), form_->Top(), form_->ClientWidth(), form_->ClientHeight());
        if (first) {
            place = FittedPlace();
        }
        if (surface_->size() != place.size()) {
            resize(place.size() + FrameSize());
        }
        if (pos() != place.topLeft()) {
            move(place.topLeft());
        }
        if (first) {
            // The form learns its window's place once this is over.
            QTimer::singleShot(0, this, [this] {
                if (form_ != nullptr && isVisible() && !isMaximized() && !isMinimized()) {
                    TCustomForm* form = form_;
                    QRect at = geometry();
                    QSize client = surface_->size();
                    int width = client.width() + form->Width() - form->ClientWidth();
                    int height = client.height() + form->Height() - form->ClientHeight();
                    Application().Dispatch(
                        [form, at, width, height] { form->SetBounds(at.x(), at.y(), width, height); });
                }
                ShareSplitters();
            });
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
    // The model's bounds are the whole window's; its frame is its own. A
    // maximized window that the area resizes (the main window grew) is not
    // maximized while it is being resized: one that fills the area still is.
    TCustomForm* form = form_;
    bool maximized = isMaximized() || (form->WindowState() == TWindowState::wsMaximized && mdiArea() != nullptr &&
                                       geometry() == mdiArea()->viewport()->rect());
    QPoint at = maximized ? QPoint(form->Left(), form->Top()) : pos();
    int width = size.width() + form->Width() - form->ClientWidth();
    int height = size.height() + form->Height() - form->ClientHeight();
    // The maximize and restore buttons resize the window before they say its
    // state changed: the form learns the state first, or the new bounds would
    // bring the window back in its old state at the new size.
    TWindowState shown = maximized ? TWindowState::wsMaximized : TWindowState::wsNormal;
    bool restate = form->WindowState() != shown;
    Application().Dispatch([form, at, width, height, shown, restate] {
        if (restate) {
            form->SetWindowState(shown);
        }
        form->SetBounds(at.x(), at.y(), width, height);
    });
    ShareSplitters();
}

void FormView::ShareSplitters()
{
    std::vector<QPointer<SplitterView>> splitters;
    for (const auto& [control, view] : views_) {
        if (auto* splitter = dynamic_cast<SplitterView*>(view)) {
            splitters.emplace_back(splitter);
        }
    }
    for (const auto& splitter : splitters) {
        if (splitter != nullptr) {
            splitter->KeepShare();
        }
    }
}

QSize FormView::LeastClientSize() const
{
    return form_ != nullptr ? LeastSize(form_) : QSize();
}

QRect FormView::FittedPlace() const
{
    QRect place(form_->Left(), form_->Top(), form_->ClientWidth(), form_->ClientHeight());
    QMdiArea* area = mdiArea();
    if (area == nullptr) {
        return place;
    }
    QSize room = area->viewport()->size() - FrameSize();
    QSize least = LeastClientSize();
    place.setWidth(std::max(least.width(), std::min(place.width(), room.width())));
    place.setHeight(std::max(least.height(), std::min(place.height(), room.height())));
    QSize frame = FrameSize();
    int x = std::clamp(place.x(), 0, std::max(0, area->viewport()->width() - place.width() - frame.width()));
    int y = std::clamp(place.y(), 0, std::max(0, area->viewport()->height() - place.height() - frame.height()));
    place.moveTo(x, y);
    return place;
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
