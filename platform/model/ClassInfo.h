#pragma once
// What the class registry holds for one class: how to create it, how to tell
// its instances, the properties it declares itself (inherited ones are found
// through the parent link) and how it takes nested components.
#include "platform/model/PropertyInfo.h"

#include <functional>
#include <string>
#include <vector>

class TObject;
class TComponent;

struct ClassInfo {
    std::string name;
    // Empty for the root of the hierarchy. Resolved by name at lookup time, so
    // classes may register in any order.
    std::string parentName;
    // Creates an instance owned by owner. Empty for classes a resource cannot
    // create (abstract classes, collection items).
    std::function<TComponent*(TComponent* owner)> create;
    std::function<bool(const TObject&)> isInstance;
    std::vector<PropertyInfo> properties;
    // Takes a component written nested inside an object of this class, for
    // example by making itself the child's parent. Returns false when this
    // class has no place for that kind of component. Empty: inherit the
    // parent class's hook.
    std::function<bool(TObject& parent, TComponent& child)> adoptChild;
};
