#pragma once
// The contract of the service-per-client module, "Zel.rdmServCliente": the
// one place that declares its methods and the data sets they answer (see
// RemoteContract). A new column or method starts here.
#include "platform/net/RemoteContract.h"

class ServClienteContract {
public:
    static constexpr const char* kServerName = "Zel.rdmServCliente";
    // Data sets, by the name of the method that answers them.
    static constexpr const char* kClients = "GetCliente";
    static constexpr const char* kServices = "GetServico";
    static constexpr const char* kAssigned = "GetServClie";

    static const RemoteContract& Get();
};
