#pragma once
// The contract of the service-per-client module, "Zel.rdmServCliente": the
// one place that declares its methods and the data sets they answer (see
// RemoteContract). A new column or method starts here.
#include "platform/net/RemoteContract.h"

class ServClienteContract {
public:
    static constexpr const char* kServerName = "Zel.rdmServCliente";
    // Its methods. The data sets carry the name of the method that answers
    // them.
    static constexpr const char* kClients = "GetCliente";
    static constexpr const char* kServices = "GetServico";
    static constexpr const char* kAssigned = "GetServClie";
    static constexpr const char* kDeleteAll = "DelTodos";
    static constexpr const char* kApplyChanges = "ApCoServClie";
    // What live updates name: a change of kAssigned's rows, by this field,
    // of the branch and client a session's last kAssigned call named.
    static constexpr const char* kUpdatedField = "CDSERVFILI";

    static const RemoteContract& Get();
};
