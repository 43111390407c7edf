#pragma once
// A named, tagged object with an owner. The owner destroys the components it
// owns, last created first. Components that hold a reference to another one
// ask it for a free notification, and drop the reference when told.
#include "platform/core/Signal.h"
#include "platform/model/TObject.h"

#include <string>
#include <string_view>
#include <vector>

enum class TOperation { opInsert, opRemove };

class TComponent : public TObject {
public:
    DECLARE_CLASS_NAME(TComponent)
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& value);
    TComponent* Owner() const { return owner_; }
    int Tag() const { return tag_; }
    void SetTag(int value) { tag_ = value; }

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
    // Names are compared without regard to case.
    TComponent* FindComponent(std::string_view name) const;

    // Asks this component to tell AComponent (through Notification) when it is
    // destroyed.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);

    // Destroys every owned component, last created first. Classes whose members
    // their owned components may touch call it first in their destructor.
    void DestroyComponents();

    // True from the start of the destructor on.
    bool Destroying() const { return destroying_; }

    // Called once all properties have been read from a form resource.
    virtual void Loaded() {}

    // Raised whenever a property that a view shows has changed; the GUI mirrors
    // the model through it.
    Signal<> Changed;

protected:
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    void NotifyChanged() { Changed.Emit(); }

private:
    void InsertComponent(TComponent* c);
    void RemoveComponent(TComponent* c);

    std::string name_;
    TComponent* owner_ = nullptr;
    int tag_ = 0;
    bool destroying_ = false;
    std::vector<TComponent*> components_;
    std::vector<TComponent*> freeNotifies_;
};
