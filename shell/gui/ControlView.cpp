#include "shell/gui/ControlView.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TControl.h"
#include "platform/controls/TWinControl.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/ViewFactory.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

ControlView::ControlView(TControl* Control, QWidget* Widget, FormView* Form, ControlView* ParentView)
    : control_(Control), widget_(Widget), form_(Form), parentView_(ParentView)
{
    form_->Register(this);
    watch_.Watch(control_, [this] { ModelGone(); });
    Track(control_->Changed.Connect([this] { SyncFromModel(); }));
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

TFont ControlView::EffectiveFont(const TControl* Control)
{
    const TControl* c = Control;
    while (c->ParentFont() && c->Parent() != nullptr) {
        c = c->Parent();
    }
    return c->Font();
}

QString ControlView::ToolTipText() const
{
    return GuiConvert::ToQt(control_->Hint());
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
    if (palette.color(QPalette::Active, ColorRole()) != color ||
        palette.color(QPalette::Disabled, ColorRole()) != color) {
        palette.setColor(ColorRole(), color);
        widget_->setPalette(palette);
    }
    QString tip = ToolTipText();
    if (widget_->toolTip() != tip) {
        widget_->setToolTip(tip);
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
        auto found = std::find_if(children_.begin(), children_.end(), [model](const auto& c) { return c.first == model; });
        if (found == children_.end()) {
            QWidget* widget = ViewFactory::Create(model, ChildHost(), form_, this);
            children_.emplace_back(model, widget);
        }
    }
    for (TControl* model : models) {
        auto found = std::find_if(children_.begin(), children_.end(), [model](const auto& c) { return c.first == model; });
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
