#pragma once
// Declares the properties of a registered class; handed to the declaring
// function of a ClassRegistration (see ClassRegistration.h). Each Register
// call turns a typed getter and setter into a PropertyInfo the form reader can
// use without knowing the class.
#include "platform/core/Exception.h"
#include "platform/model/ClassInfo.h"
#include "platform/model/TComponent.h"

#include <any>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// The resource names of an enumeration's values, in the enumeration's order.
template <class E>
using EnumNames = std::vector<std::pair<std::string, E>>;

// Names that an integer property accepts in place of a number (colours).
using IntegerConstants = std::vector<std::pair<std::string, int>>;

template <class T>
class ClassBuilder {
public:
    explicit ClassBuilder(ClassInfo& info) : info_(info) {}

    // An int, bool or std::string property, the kind taken from the getter's
    // result. Integral types other than int accept their own range.
    template <class Get, class Set>
    ClassBuilder& RegisterProperty(std::string name, Get getter, Set setter)
    {
        using R = std::remove_cvref_t<std::invoke_result_t<Get, const T&>>;
        if constexpr (std::is_same_v<R, bool>) {
            return RegisterBooleanProperty(std::move(name), getter, setter);
        } else if constexpr (std::is_integral_v<R>) {
            constexpr long long lo = std::numeric_limits<R>::min();
            constexpr long long hi = std::numeric_limits<R>::max();
            constexpr int intLo = std::numeric_limits<int>::min();
            constexpr int intHi = std::numeric_limits<int>::max();
            return RegisterIntegerProperty(std::move(name), getter, setter, lo < intLo ? intLo : static_cast<int>(lo),
                                           hi > intHi ? intHi : static_cast<int>(hi));
        } else if constexpr (std::is_convertible_v<R, std::string>) {
            return RegisterStringProperty(std::move(name), getter, setter);
        } else {
            static_assert(std::is_same_v<R, bool>,
                          "RegisterProperty takes int, bool or std::string properties; use RegisterEnumProperty, "
                          "RegisterSetProperty or RegisterComponentProperty for the others");
            return *this;
        }
    }

    template <class Get, class Set>
    ClassBuilder& RegisterIntegerProperty(std::string name, Get getter, Set setter, int minimum, int maximum,
                                          IntegerConstants constants = {})
    {
        PropertyInfo& p = Add(std::move(name), PropertyKind::Integer);
        p.minimum = minimum;
        p.maximum = maximum;
        p.constants = std::move(constants);
        p.writeInteger = [setter](TObject& o, int v) { std::invoke(setter, Self(o), v); };
        if constexpr (!std::is_null_pointer_v<Get>) {
            p.read = [getter](const TObject& o) -> PropertyValue {
                return static_cast<int>(std::invoke(getter, Self(o)));
            };
        }
        return *this;
    }

    // An integer of the full int range that also takes named constants.
    template <class Get, class Set>
    ClassBuilder& RegisterIntegerProperty(std::string name, Get getter, Set setter, IntegerConstants constants)
    {
        return RegisterIntegerProperty(std::move(name), getter, setter, std::numeric_limits<int>::min(),
                                       std::numeric_limits<int>::max(), std::move(constants));
    }

    template <class Get, class Set>
    ClassBuilder& RegisterBooleanProperty(std::string name, Get getter, Set setter)
    {
        PropertyInfo& p = Add(std::move(name), PropertyKind::Boolean);
        p.writeBoolean = [setter](TObject& o, bool v) { std::invoke(setter, Self(o), v); };
        if constexpr (!std::is_null_pointer_v<Get>) {
            p.read = [getter](const TObject& o) -> PropertyValue {
                return static_cast<bool>(std::invoke(getter, Self(o)));
            };
        }
        return *this;
    }

    template <class Get, class Set>
    ClassBuilder& RegisterStringProperty(std::string name, Get getter, Set setter)
    {
        PropertyInfo& p = Add(std::move(name), PropertyKind::String);
        p.writeString = [setter](TObject& o, const std::string& v) { std::invoke(setter, Self(o), v); };
        if constexpr (!std::is_null_pointer_v<Get>) {
            p.read = [getter](const TObject& o) -> PropertyValue { return std::string(std::invoke(getter, Self(o))); };
        }
        return *this;
    }

    // Raw bytes written as { hex } (images).
    template <class Get, class Set>
    ClassBuilder& RegisterBinaryProperty(std::string name, Get getter, Set setter)
    {
        RegisterStringProperty(std::move(name), getter, setter);
        info_.properties.back().kind = PropertyKind::Binary;
        return *this;
    }

    template <class E, class Get, class Set>
    ClassBuilder& RegisterEnumProperty(std::string name, const EnumNames<E>& names, Get getter, Set setter)
    {
        PropertyInfo& p = Add(std::move(name), PropertyKind::Enum);
        std::vector<E> values;
        for (const auto& [n, v] : names) {
            p.valueNames.push_back(n);
            values.push_back(v);
        }
        p.writeInteger = [setter, values](TObject& o, int index) {
            std::invoke(setter, Self(o), values.at(static_cast<size_t>(index)));
        };
        if constexpr (!std::is_null_pointer_v<Get>) {
            p.read = [getter, names](const TObject& o) -> PropertyValue {
                E v = std::invoke(getter, Self(o));
                for (const auto& [n, value] : names) {
                    if (value == v) {
                        return n;
                    }
                }
                return std::monostate{};
            };
        }
        return *this;
    }

    // A set of enumeration values; the setter takes a std::set<E>.
    template <class E, class Get, class Set>
    ClassBuilder& RegisterSetProperty(std::string name, const EnumNames<E>& names, Get getter, Set setter)
    {
        PropertyInfo& p = Add(std::move(name), PropertyKind::Set);
        std::vector<E> values;
        for (const auto& [n, v] : names) {
            p.valueNames.push_back(n);
            values.push_back(v);
        }
        p.writeSet = [setter, values](TObject& o, const std::vector<int>& indexes) {
            std::set<E> s;
            for (int i : indexes) {
                s.insert(values.at(static_cast<size_t>(i)));
            }
            std::invoke(setter, Self(o), s);
        };
        if constexpr (!std::is_null_pointer_v<Get>) {
            p.read = [getter, names](const TObject& o) -> PropertyValue {
                const std::set<E>& s = std::invoke(getter, Self(o));
                std::vector<std::string> result;
                for (const auto& [n, v] : names) {
                    if (s.count(v) != 0) {
                        result.push_back(n);
                    }
                }
                return result;
            };
        }
        return *this;
    }

    // A reference to another component of the form, of class C (or derived).
    // Resolved after the whole form is built; the setter takes a C*.
    template <class C, class Get, class Set>
    ClassBuilder& RegisterComponentProperty(std::string name, Get getter, Set setter)
    {
        static_assert(std::is_base_of_v<TComponent, C>, "a component property refers to a TComponent");
        PropertyInfo& p = Add(std::move(name), PropertyKind::Component);
        p.writeComponent = [setter](TObject& o, TComponent* c) {
            C* typed = nullptr;
            if (c != nullptr) {
                typed = dynamic_cast<C*>(c);
                if (typed == nullptr) {
                    return false;
                }
            }
            std::invoke(setter, Self(o), typed);
            return true;
        };
        if constexpr (!std::is_null_pointer_v<Get>) {
            p.read = [getter](const TObject& o) -> PropertyValue {
                return static_cast<TComponent*>(std::invoke(getter, Self(o)));
            };
        }
        return *this;
    }

    // Lines of text; the setter takes a std::vector<std::string>.
    template <class Get, class Set>
    ClassBuilder& RegisterStringListProperty(std::string name, Get getter, Set setter)
    {
        PropertyInfo& p = Add(std::move(name), PropertyKind::StringList);
        p.writeStrings = [setter](TObject& o, const std::vector<std::string>& v) { std::invoke(setter, Self(o), v); };
        if constexpr (!std::is_null_pointer_v<Get>) {
            p.read = [getter](const TObject& o) -> PropertyValue {
                const auto& lines = std::invoke(getter, Self(o));
                return std::vector<std::string>(lines.begin(), lines.end());
            };
        }
        return *this;
    }

    // A collection of items of the registered class itemClass. clear(T&)
    // empties it; add(T&) appends one item and returns it (an Item*). A
    // resource that writes the collection replaces it whole, so a derived
    // form's resource lists every item.
    template <class Item, class Clear, class AddItem>
    ClassBuilder& RegisterCollectionProperty(std::string name, std::string itemClass, Clear clear, AddItem add)
    {
        static_assert(std::is_base_of_v<TObject, Item>, "collection items derive from TObject");
        PropertyInfo& p = Add(std::move(name), PropertyKind::Collection);
        p.itemClass = std::move(itemClass);
        p.clearItems = [clear](TObject& o) { std::invoke(clear, Self(o)); };
        p.addItem = [add](TObject& o) -> TObject* { return static_cast<Item*>(std::invoke(add, Self(o))); };
        return *this;
    }

    // An event of type E (one of the std::function types of platform/model/Events.h).
    // The setter takes an E; a handler is bound only if its signature is E's.
    template <class E, class Set>
    ClassBuilder& RegisterEvent(std::string name, Set setter)
    {
        PropertyInfo& p = Add(std::move(name), PropertyKind::Event);
        p.eventType = typeid(E);
        p.writeEvent = [setter](TObject& o, const std::any& handler) {
            E e;
            if (handler.has_value()) {
                e = std::any_cast<const E&>(handler);
            }
            std::invoke(setter, Self(o), std::move(e));
        };
        return *this;
    }

    // adopt(T& parent, TComponent& child) takes a component written nested in
    // an object of this class and returns true, or returns false when this
    // class has no place for it. Inherited by derived classes. Without any hook
    // in the chain only the form itself takes nested components (as their
    // owner); elsewhere nesting is an error.
    template <class Adopt>
    ClassBuilder& SetAdoptChild(Adopt adopt)
    {
        info_.adoptChild = [adopt](TObject& parent, TComponent& child) -> bool {
            return std::invoke(adopt, Self(parent), child);
        };
        return *this;
    }

private:
    PropertyInfo& Add(std::string name, PropertyKind kind)
    {
        PropertyInfo& p = info_.properties.emplace_back();
        p.name = std::move(name);
        p.kind = kind;
        return p;
    }

    // The object as T. The reader checks the class before it writes, so a
    // failure here means a class registered under the wrong parent.
    static T& Self(TObject& o)
    {
        if (auto* t = dynamic_cast<T*>(&o)) {
            return *t;
        }
        throw EInvalidOperation("An object of class " + o.ClassName() + " is used as a registered class it is not");
    }
    static const T& Self(const TObject& o) { return Self(const_cast<TObject&>(o)); }

    ClassInfo& info_;
};
