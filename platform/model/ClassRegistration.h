#pragma once
// Registers a class with the form reader: its name, its parent class, how to
// create it and its properties, declared once as typed getter/setter pairs.
// Declare one static registration in the class's .cpp file:
//
//     static const ClassRegistration<TPanel> panelClass("TPanel", "TCustomControl",
//         [](ClassBuilder<TPanel>& c) {
//             c.RegisterEnumProperty("BevelOuter", bevelNames, &TPanel::BevelOuter, &TPanel::SetBevelOuter);
//             c.RegisterProperty("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth);
//             c.RegisterEvent<TNotifyEvent>("OnEnter", &TPanel::SetOnEnter);
//         });
//
// Properties and the adopt hook are inherited through the parent link, so a
// class declares only what it adds. Destroying the registration removes the
// class again: the classes of an unloaded package vanish with it.
//
// Getters and setters are anything std::invoke can call with the object:
// member function pointers (`int (T::*)() const`, `void (T::*)(int)`) or
// lambdas (`[](const TControl& c) { return c.Font().Style; }`). A getter may
// be nullptr when there is none; the property is then write-only for generic
// readers (the form reader only writes).
//
// Instances of a registered class must derive from TObject. A class that a
// resource may create must also derive from TComponent; by default it is
// created with `new T(owner)`. Collection items (a grid's columns) are
// registered like any class, with a nullptr factory, and need not be
// components.
#include "platform/model/ClassBuilder.h"
#include "platform/model/ClassRegistry.h"
#include "platform/model/TComponent.h"

#include <functional>
#include <string>
#include <type_traits>
#include <utility>

template <class T>
class ClassRegistration {
public:
    using Factory = std::function<TComponent*(TComponent* owner)>;
    using Declare = std::function<void(ClassBuilder<T>&)>;

    // Created with `new T(owner)` when T is a concrete component, else not
    // creatable from a resource.
    ClassRegistration(std::string name, std::string parentName, Declare declare = {})
        : ClassRegistration(std::move(name), std::move(parentName), DefaultFactory(), std::move(declare))
    {}

    // factory may be nullptr: a class that resources modify but never create.
    ClassRegistration(std::string name, std::string parentName, Factory factory, Declare declare)
    {
        ClassInfo info;
        info.name = std::move(name);
        info.parentName = std::move(parentName);
        info.create = std::move(factory);
        info.isInstance = [](const TObject& o) {
            if constexpr (std::is_same_v<T, TObject>) {
                return true;
            } else {
                return dynamic_cast<const T*>(&o) != nullptr;
            }
        };
        if (declare) {
            ClassBuilder<T> builder(info);
            declare(builder);
        }
        id_ = ClassRegistry::Register(std::move(info));
    }

    ~ClassRegistration() { ClassRegistry::Unregister(id_); }
    ClassRegistration(const ClassRegistration&) = delete;
    ClassRegistration& operator=(const ClassRegistration&) = delete;

private:
    static Factory DefaultFactory()
    {
        if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                      std::is_constructible_v<T, TComponent*>) {
            return [](TComponent* owner) -> TComponent* { return new T(owner); };
        } else {
            return nullptr;
        }
    }

    ClassRegistry::Id id_ = 0;
};
