#pragma once
// The tree a form resource parses into. Each node keeps the position of the
// text it came from, so the applier can point at the faulty spot.
#include "platform/forms/FormToken.h"

#include <cstdint>
#include <string>
#include <vector>

struct FormItem;

// A property's value as written; the applier decides whether it fits.
struct FormValue {
    enum class Kind {
        Integer,    // 387, -5, $FF
        String,     // 'text', possibly joined with '+'
        Identifier, // True, alTop, dtsPadrao, FormCreate, nil
        Set,        // [fsBold, fsItalic]: elements are Identifier values
        List,       // ( 'a' 'b' ): elements are values of any kind but List
        Collection, // < item ... end ... >
        Binary,     // { 0A1B }
    };
    Kind kind = Kind::Integer;
    FormPosition position;
    std::int64_t integer = 0;
    std::string text;                // String, Identifier, Binary
    std::vector<FormValue> elements; // Set, List
    std::vector<FormItem> items;     // Collection
};

struct FormProperty {
    std::string name; // dotted names are kept whole: "Font.Style"
    FormPosition position;
    FormValue value;
};

// One "item ... end" of a collection.
struct FormItem {
    FormPosition position;
    std::vector<FormProperty> properties;
};

// An "object Name: TClass ... end" or "inherited Name: TClass ... end" block.
struct FormObject {
    bool inherited = false;
    std::string name;
    std::string className;
    FormPosition position; // of the keyword
    FormPosition namePosition;
    FormPosition classPosition;
    std::vector<FormProperty> properties;
    std::vector<FormObject> children;
};
