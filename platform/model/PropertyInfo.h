#pragma once
// A property as the form reader knows it: its name, the kind of value it takes
// and type-erased functions that read and write it on an object. Built by
// ClassRegistration's builder from typed getters and setters; the reader needs
// no code of its own per class.
#include <any>
#include <functional>
#include <string>
#include <typeindex>
#include <utility>
#include <variant>
#include <vector>

class TObject;
class TComponent;

enum class PropertyKind {
    Integer,    // 387, -5, or a named constant (clInfoBk)
    Boolean,    // True, False
    String,     // 'text' (Windows-1252)
    Enum,       // one name of a fixed list (alTop)
    Set,        // names of a fixed list ([fsBold])
    Component,  // the name of another component of the form, resolved last
    StringList, // ( 'line' 'line' )
    Collection, // < item ... end >
    Event,      // the name of a handler of the form's handler table
    Binary,     // { hex bytes }
};

// What a reader returns. Integer: int; Boolean: bool; String, Binary and Enum
// (its name): std::string; Set (names, in declaration order) and StringList:
// std::vector<std::string>; Component: TComponent* (may be null).
using PropertyValue = std::variant<std::monostate, int, bool, std::string, std::vector<std::string>, TComponent*>;

struct PropertyInfo {
    std::string name; // dotted names are whole ("Font.Style"); compared without case
    PropertyKind kind = PropertyKind::Integer;

    // Integer: accepted range, and names that stand for values.
    int minimum = 0;
    int maximum = 0;
    std::vector<std::pair<std::string, int>> constants;
    // Enum and Set: the names of the values, in declaration order.
    std::vector<std::string> valueNames;
    // Collection: the registered class of its items.
    std::string itemClass;
    // Event: the std::function type of its handlers.
    std::type_index eventType = typeid(void);

    // The writer of the property's kind is set; the others stay empty.
    std::function<void(TObject&, int)> writeInteger; // Integer: the value; Enum: index into valueNames
    std::function<void(TObject&, bool)> writeBoolean;
    std::function<void(TObject&, const std::string&)> writeString;   // String, Binary
    std::function<void(TObject&, const std::vector<int>&)> writeSet; // indexes into valueNames
    std::function<void(TObject&, const std::vector<std::string>&)> writeStrings;
    // False when the component is not of the class the property refers to.
    // Null clears the reference.
    std::function<bool(TObject&, TComponent*)> writeComponent;
    // The any holds the event's std::function type; an empty any unbinds.
    std::function<void(TObject&, const std::any&)> writeEvent;
    // Collection: empties it, then adds items one by one.
    std::function<void(TObject&)> clearItems;
    std::function<TObject*(TObject&)> addItem;

    // Optional; empty when the property was registered without a getter.
    std::function<PropertyValue(const TObject&)> read;
};
