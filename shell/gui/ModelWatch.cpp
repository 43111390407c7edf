#include "shell/gui/ModelWatch.h"

ModelWatch::ModelWatch() : TComponent(nullptr) {}

ModelWatch::~ModelWatch()
{
    Unwatch();
}

void ModelWatch::Watch(TComponent* component, std::function<void()> gone)
{
    Unwatch();
    watched_ = component;
    gone_ = std::move(gone);
    if (watched_ != nullptr) {
        watched_->FreeNotification(this);
    }
}

void ModelWatch::Unwatch()
{
    if (watched_ != nullptr) {
        watched_->RemoveFreeNotification(this);
        watched_ = nullptr;
    }
    gone_ = nullptr;
}

void ModelWatch::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == watched_) {
        watched_ = nullptr;
        auto gone = std::move(gone_);
        gone_ = nullptr;
        if (gone) {
            gone();
        }
    }
}
