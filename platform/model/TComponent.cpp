#include "platform/model/TComponent.h"

#include <algorithm>
#include <strings.h>

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner != nullptr) {
        AOwner->InsertComponent(this);
    }
}

TComponent::~TComponent()
{
    destroying_ = true;
    // Tell everyone holding a reference first, so that none of them touches this
    // component while the owned ones go.
    auto notifies = std::move(freeNotifies_);
    freeNotifies_.clear();
    for (TComponent* c : notifies) {
        c->RemoveFreeNotification(this);
        c->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (owner_ != nullptr) {
        owner_->RemoveComponent(this);
    }
}

void TComponent::DestroyComponents()
{
    destroying_ = true;
    while (!components_.empty()) {
        TComponent* c = components_.back();
        delete c; // removes itself from components_
    }
}

void TComponent::SetName(const std::string& value)
{
    if (name_ != value) {
        name_ = value;
        NotifyChanged();
    }
}

TComponent* TComponent::FindComponent(std::string_view name) const
{
    if (name.empty()) {
        return nullptr;
    }
    for (TComponent* c : components_) {
        const auto& n = c->Name();
        if (n.size() == name.size() && strncasecmp(n.data(), name.data(), n.size()) == 0) {
            return c;
        }
    }
    return nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    if (AComponent == nullptr || AComponent == this) {
        return;
    }
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) == freeNotifies_.end()) {
        freeNotifies_.push_back(AComponent);
        AComponent->FreeNotification(this);
    }
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    auto it = std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent);
    if (it != freeNotifies_.end()) {
        freeNotifies_.erase(it);
        AComponent->RemoveFreeNotification(this);
    }
}

void TComponent::Notification(TComponent* /*AComponent*/, TOperation /*Operation*/) {}

void TComponent::InsertComponent(TComponent* c)
{
    components_.push_back(c);
    c->owner_ = this;
}

void TComponent::RemoveComponent(TComponent* c)
{
    std::erase(components_, c);
    c->owner_ = nullptr;
}
