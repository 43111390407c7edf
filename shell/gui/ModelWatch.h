#pragma once
// Tells a view when the model component it mirrors is destroyed. Views hold
// plain pointers into the model; the model owns its components and may free
// them at any time (a form released by its close handler), so every view
// watches its component and lets go of it before it is gone.
#include "platform/model/TComponent.h"

#include <functional>

class ModelWatch : public TComponent {
public:
    DECLARE_CLASS_NAME(ModelWatch)
    ModelWatch();
    ~ModelWatch() override;

    // Watches component (replacing any earlier one); gone runs once, at the
    // start of its destruction, while its members are still whole.
    void Watch(TComponent* component, std::function<void()> gone);
    void Unwatch();
    TComponent* Watched() const { return watched_; }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    TComponent* watched_ = nullptr;
    std::function<void()> gone_;
};
