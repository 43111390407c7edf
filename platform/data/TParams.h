#pragma once
// The parameters of a query, in the order in which the SQL names them.
#include "platform/data/TParam.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TParams {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TParam* Items(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
    // Names are compared without regard to case.
    TParam* FindParam(std::string_view name) const;
    // As FindParam, but raises EDatabaseError "Parameter 'X' not found".
    TParam* ParamByName(std::string_view name) const;
    // Adds a parameter, or returns the one of that name (retyped).
    TParam* CreateParam(TFieldType dataType, const std::string& name);
    // Appends a parameter without a name (the form names it afterwards).
    TParam* Add();
    void Clear() { items_.clear(); }

    // Makes the list the parameters that sql names (":NAME"), in order of
    // first use; parameters that stay keep their type and value, new ones
    // are text parameters holding Null.
    void ParseSQL(std::string_view sql);
    // The names of the ":NAME" parameters of sql in order of first use,
    // skipping quoted texts, quoted names and comments.
    static std::vector<std::string> NamesInSQL(std::string_view sql);

private:
    std::vector<std::unique_ptr<TParam>> items_;
};
