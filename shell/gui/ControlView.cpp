#include "shell/gui/ControlView.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TControl.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TWinControl.h"
#include "shell/ShellKeys.h"
#include "shell/gui/DropRoutes.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/ShellTexts.h"
#include "shell/gui/ViewFactory.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

bool deferSyncs = false;
bool flushPosted = false;
// What changed while syncs were deferred, by owner; one whose owner is gone
// is skipped.
std::vector<std::pair<QPointer<QObject>, std::function<void()>>> pendingSyncs;

} // namespace

ControlView::ControlView(TControl* control, QWidget* widget, FormView* form, ControlView* parentView)
    : control_(control), widget_(widget), form_(form), parentView_(parentView)
{
    form_->Register(this);
    watch_.Watch(control_, [this] { ModelGone(); });
    Track(control_->Changed.Connect([this] { ModelChanged(); }));
    if (auto* container = dynamic_cast<TWinControl*>(control_)) {
        Track(container->ChildrenChanged.Connect([this] { SyncChildren(); }));
    }
}

ControlView::~ControlView()
{
    connections_.clear();
    watch_.Unwatch();
    if (form_ != nullptr) {
        form_->Unregister(this);
    }
}

void ControlView::ModelChanged()
{
    if (!deferSyncs) {
        SyncFromModel();
        return;
    }
    if (syncPending_) {
        return;
    }
    syncPending_ = true;
    SyncLater(widget_, [this] {
        syncPending_ = false;
        SyncFromModel();
    });
}

void ControlView::SyncLater(QObject* owner, std::function<void()> sync)
{
    pendingSyncs.emplace_back(owner, std::move(sync));
    if (!flushPosted) {
        flushPosted = true;
        QTimer::singleShot(0, qApp, [] { FlushSyncs(); });
    }
}

bool ControlView::SyncsDeferred()
{
    return deferSyncs;
}

void ControlView::FlushSyncs()
{
    flushPosted = false;
    auto pending = std::move(pendingSyncs);
    pendingSyncs.clear();
    for (auto& [owner, sync] : pending) {
        if (owner != nullptr) {
            sync();
        }
    }
}

void ControlView::DeferSyncs(bool value)
{
    deferSyncs = value;
    if (!value) {
        FlushSyncs();
    }
}

void ControlView::Retire()
{
    if (control_ == nullptr) {
        return;
    }
    connections_.clear();
    watch_.Unwatch();
    form_->Unregister(this);
    Detach();
    control_ = nullptr;
    // The widget may be running one of its own event handlers right now (a
    // click whose handler freed the form), so it goes once that is over.
    widget_->hide();
    widget_->deleteLater();
}

TFont ControlView::EffectiveFont(const TControl* control)
{
    const TControl* c = control;
    while (c->ParentFont() && c->Parent() != nullptr) {
        c = c->Parent();
    }
    return c->Font();
}

QString ControlView::ToolTipText() const
{
    QString hint = GuiConvert::ToQt(control_->Hint());
    if (!ShellKeys::IsListStop(control_)) {
        return hint;
    }
    // The key that reaches a list the tab order passes by.
    QString key = ShellTexts::Text(ShellTexts::kListKeyHint);
    return hint.isEmpty() ? key : hint + QLatin1Char('\n') + key;
}

QString ControlView::AccessibleNameText() const
{
    if (!control_->AccessibleName().empty()) {
        return GuiConvert::ToQt(control_->AccessibleName());
    }
    if (TCustomForm* form = control_->GetParentForm()) {
        for (int i = 0; i < form->ComponentCount(); ++i) {
            auto* label = dynamic_cast<TLabel*>(form->Components(i));
            if (label != nullptr && label != control_ && label->FocusControl() == control_ &&
                !label->Caption().empty()) {
                return GuiConvert::StripAccelerator(label->Caption());
            }
        }
    }
    if (!control_->Caption().empty()) {
        return GuiConvert::StripAccelerator(control_->Caption());
    }
    if (!control_->Hint().empty()) {
        return GuiConvert::ToQt(control_->Hint());
    }
    return GuiConvert::ToQt(control_->Name());
}

QString ControlView::AccessibleDescriptionText(const QString& name) const
{
    if (!control_->AccessibleDescription().empty()) {
        return GuiConvert::ToQt(control_->AccessibleDescription());
    }
    QString hint = GuiConvert::ToQt(control_->Hint());
    return hint == name ? QString() : hint;
}

void ControlView::SyncFromModel()
{
    if (control_ == nullptr) {
        return;
    }
    ApplyGeometry();
    widget_->setEnabled(control_->Enabled());
    ApplyLook();
    widget_->setVisible(control_->Visible());
}

void ControlView::ApplyGeometry()
{
    QPoint origin = parentView_ != nullptr ? parentView_->ChildOrigin() : QPoint(0, 0);
    QRect r(control_->Left() - origin.x(), control_->Top() - origin.y(), control_->Width(), control_->Height());
    if (widget_->geometry() != r) {
        widget_->setGeometry(r);
        if (parentView_ != nullptr) {
            parentView_->ChildGeometryChanged();
        }
    }
}

void ControlView::ApplyLook()
{
    QFont font = GuiConvert::FontOf(EffectiveFont(control_), QApplication::font());
    if (widget_->font() != font) {
        widget_->setFont(font);
    }
    QPalette palette = widget_->palette();
    QColor color = GuiConvert::ColorOf(control_->Color(), QApplication::palette());
    // Disabled text stays readable on the control's colour.
    QColor disabledText = GuiConvert::Readable(QApplication::palette().color(QPalette::Disabled, QPalette::Text), color,
                                               GuiConvert::kReadableContrast);
    if (palette.color(QPalette::Active, ColorRole()) != color ||
        palette.color(QPalette::Disabled, ColorRole()) != color ||
        palette.color(QPalette::Disabled, QPalette::Text) != disabledText) {
        palette.setColor(ColorRole(), color);
        palette.setColor(QPalette::Disabled, QPalette::Text, disabledText);
        widget_->setPalette(palette);
    }
    QString tip = ToolTipText();
    if (widget_->toolTip() != tip) {
        widget_->setToolTip(tip);
    }
    QString name = AccessibleNameText();
    if (widget_->accessibleName() != name) {
        widget_->setAccessibleName(name);
    }
    QString description = AccessibleDescriptionText(name);
    if (widget_->accessibleDescription() != description) {
        widget_->setAccessibleDescription(description);
    }
}

bool ControlView::Input(const std::function<void()>& input)
{
    if (control_ == nullptr) {
        return false;
    }
    form_->Input(input);
    return control_ != nullptr;
}

void ControlView::ArmDrag(QPoint pos, bool onItem)
{
    dragFrom_ = pos;
    dragArmed_ = onItem && DropRoutes::IsSource(control_);
}

bool ControlView::DragMoved(QMouseEvent* event)
{
    if (!dragArmed_ || control_ == nullptr || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - dragFrom_).manhattanLength() < QApplication::startDragDistance()) {
        return false;
    }
    dragArmed_ = false;
    auto* drag = new QDrag(widget_);
    drag->setMimeData(DropRoutes::Encode(control_));
    drag->exec(Qt::MoveAction);
    return true;
}

void ControlView::DragOver(QDropEvent* event)
{
    if (DropRoutes::EnabledButtonFor(event->mimeData(), control_) != nullptr) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

bool ControlView::Drop(QDropEvent* event)
{
    TSpeedButton* button = DropRoutes::ButtonFor(event->mimeData(), control_);
    if (button == nullptr) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::MoveAction);
    event->accept();
    // The button's own click: nothing happens while it is disabled.
    Input([button] { button->OperatorClick(); });
    return true;
}

void ControlView::SyncChildren()
{
    auto* container = dynamic_cast<TWinControl*>(control_);
    if (container == nullptr) {
        return;
    }
    std::vector<TControl*> models;
    for (int i = 0; i < container->ControlCount(); ++i) {
        models.push_back(container->Controls(i));
    }
    // Views of controls that left this container (or whose widget went).
    for (auto it = children_.begin(); it != children_.end();) {
        bool stays = it->second != nullptr && std::find(models.begin(), models.end(), it->first) != models.end();
        if (!stays) {
            if (it->second != nullptr) {
                if (auto* view = dynamic_cast<ControlView*>(it->second.data())) {
                    view->Retire();
                } else {
                    it->second->hide();
                    it->second->deleteLater();
                }
            }
            it = children_.erase(it);
        } else {
            ++it;
        }
    }
    // New children, then the stacking order of the model's list.
    for (TControl* model : models) {
        auto found =
            std::find_if(children_.begin(), children_.end(), [model](const auto& c) { return c.first == model; });
        if (found == children_.end()) {
            QWidget* widget = ViewFactory::Create(model, ChildHost(), form_, this);
            children_.emplace_back(model, widget);
        }
    }
    for (TControl* model : models) {
        auto found =
            std::find_if(children_.begin(), children_.end(), [model](const auto& c) { return c.first == model; });
        if (found != children_.end() && found->second != nullptr) {
            found->second->raise();
        }
    }
}

std::vector<ControlView*> ControlView::ChildViews() const
{
    std::vector<ControlView*> out;
    for (const auto& c : children_) {
        if (c.second != nullptr) {
            if (auto* view = dynamic_cast<ControlView*>(c.second.data())) {
                out.push_back(view);
            }
        }
    }
    return out;
}
