#pragma once
// The process-wide registry of component classes by name, which the form
// reader asks how to create a class, which properties it has and how it takes
// nested components. Classes register through ClassRegistration (see
// ClassRegistration.h) from static objects, so a package's classes come and
// go with the package.
//
// Names of classes and properties are compared without regard to case. A
// second registration of a name shadows the first until it is removed.
// Pointers returned stay valid while the registration that made them lives.
// Registration and lookups may come from any thread.
#include "platform/model/ClassInfo.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ClassRegistry {
public:
    using Id = std::uint64_t;

    static Id Register(ClassInfo info);
    static void Unregister(Id id);

    // nullptr when no class of that name is registered.
    static const ClassInfo* Find(std::string_view className);

    // True when className is baseName or descends from it through registered
    // parent links.
    static bool IsDerivedFrom(std::string_view className, std::string_view baseName);

    // The property as declared by className or its nearest ancestor that
    // declares it; nullptr when none does.
    static const PropertyInfo* FindProperty(std::string_view className, std::string_view propertyName);

    // The nearest class in className's chain that has an adopt hook, or
    // nullptr.
    static const ClassInfo* FindAdoptHook(std::string_view className);

    // The first ancestor of className that is named as a parent but is not
    // registered; empty when the whole chain is known. Lets error messages
    // say why a property is missing.
    static std::string MissingAncestor(std::string_view className);

    // className followed by its registered ancestors, nearest first.
    static std::vector<std::string> Ancestry(std::string_view className);
};
