#include "platform/forms/HandlerTable.h"

#include <strings.h>

namespace {

bool SameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

} // namespace

HandlerTable::HandlerTable(const HandlerTable* base) : base_(base) {}

HandlerTable::HandlerTable(const HandlerTable* base, const std::function<void(HandlerTable&)>& fill) : base_(base)
{
    fill(*this);
}

void HandlerTable::AddHandler(Handler h)
{
    for (const Handler& existing : handlers_) {
        if (SameText(existing.name, h.name)) {
            throw EInvalidOperation("Handler " + h.name + " is registered twice in one class");
        }
    }
    handlers_.push_back(std::move(h));
}

const HandlerTable::Handler* HandlerTable::Find(std::string_view name) const
{
    for (const HandlerTable* t = this; t != nullptr; t = t->base_) {
        for (const Handler& h : t->handlers_) {
            if (SameText(h.name, name)) {
                return &h;
            }
        }
    }
    return nullptr;
}
