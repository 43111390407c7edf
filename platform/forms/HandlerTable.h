#pragma once
// A form class's event handlers by name, so that a form resource can bind
// "OnExit = medCdFilialExit" to the member function of that name. Each form
// class keeps one table; a derived class's table chains to its base's, and a
// lookup takes the derived class's handler of a name first, which is how a
// derived form's handler takes the place of its base's for the base's own
// bindings.
//
//     const HandlerTable& TfrmServCliente::Handlers()
//     {
//         static const HandlerTable table(&TfrmPadraoSimples::Handlers(), [](HandlerTable& t) {
//             t.Add("FormCreate", &TfrmServCliente::FormCreate);
//             t.Add("medCdFilialExit", &TfrmServCliente::medCdFilialExit);
//         });
//         return table;
//     }
//
// A handler is a member function whose parameters are those of one of the
// event types of platform/model/Events.h; its event type is std::function of those
// parameters. Names are compared without regard to case.
#include "platform/core/Exception.h"

#include <any>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <typeindex>
#include <vector>

class TObject;

class HandlerTable {
public:
    struct Handler {
        std::string name;
        std::type_index eventType = typeid(void);
        // The class whose member function it is, for messages.
        std::string ownerClass;
        // Makes the event value (an any holding std::function<void(Args...)>)
        // that calls the handler on form. Throws EInvalidOperation when form is
        // not of the handler's class.
        std::function<std::any(TObject* form)> bind;
    };

    explicit HandlerTable(const HandlerTable* base = nullptr);
    // Runs fill on the new table, for tables built in one static definition.
    HandlerTable(const HandlerTable* base, const std::function<void(HandlerTable&)>& fill);
    HandlerTable(const HandlerTable&) = delete;
    HandlerTable& operator=(const HandlerTable&) = delete;

    // Adds a member function of form class F. A second handler of the same
    // name in one table is a programming error (EInvalidOperation).
    template <class F, class... Args>
    void Add(std::string name, void (F::*method)(Args...), std::string ownerClass = {})
    {
        using Event = std::function<void(Args...)>;
        Handler h;
        h.name = std::move(name);
        h.eventType = typeid(Event);
        h.ownerClass = ownerClass;
        h.bind = [method, ownerClass](TObject* form) -> std::any {
            F* self = dynamic_cast<F*>(form);
            if (self == nullptr) {
                throw EInvalidOperation("the form is not of the class that declares the handler" +
                                        (ownerClass.empty() ? std::string() : " (" + ownerClass + ")"));
            }
            return Event([self, method](Args... args) { (self->*method)(std::forward<Args>(args)...); });
        };
        AddHandler(std::move(h));
    }

    // This table's handler of that name, else its base chain's; nullptr when
    // none has one.
    const Handler* Find(std::string_view name) const;

    const HandlerTable* Base() const { return base_; }
    // Handlers added to this table itself, in order.
    const std::vector<Handler>& OwnHandlers() const { return handlers_; }

private:
    void AddHandler(Handler h);

    const HandlerTable* base_;
    std::vector<Handler> handlers_;
};
