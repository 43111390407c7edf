#include "platform/net/ServClienteContract.h"

const RemoteContract& ServClienteContract::Get()
{
    using A = TArgType;
    using R = TResultKind;
    static const ContractField branch{"CDFILIAL", TFieldType::ftString, 4, false};
    static const ContractField client{"CDCLIENTE", TFieldType::ftString, 21, false};
    static const ContractField service{"CDSERVFILI", TFieldType::ftString, 5, true};
    static const ContractField serviceName{"NMSERVICO", TFieldType::ftString, 40, false};
    static const RemoteContract contract(
        kServerName,
        {
            {kClients,
             {client,
              {"IDTPIJURCLIE", TFieldType::ftString, 1, true},
              {"NRINSJURCLIE", TFieldType::ftString, 20, false},
              {"NMRAZSOCCLIE", TFieldType::ftString, 50, false}}},
            {kServices, {service, branch, serviceName}},
            {kAssigned, {branch, service, client, serviceName}},
        },
        {
            // The client's registration number is the second argument.
            {kClients, {A::atTextByValue, A::atTextByValue}, R::rkDataSet, kClients, false, 0, -1, ""},
            {kServices, {A::atTextByValue, A::atTextByValue}, R::rkDataSet, kServices, false, 0, 1, ""},
            {kAssigned, {A::atTextByValue, A::atTextByValue}, R::rkDataSet, kAssigned, false, 0, 1, ""},
            {kDeleteAll, {A::atTextByValue, A::atTextByValue}, R::rkInteger, "", true, 0, 1, ""},
            // A change packet of the data set GetServClie answers.
            {kApplyChanges, {A::atVariantByRef}, R::rkInteger, kAssigned, true, -1, -1, "CDFILIAL"},
        },
        ContractLiveUpdate{kAssigned, kUpdatedField});
    return contract;
}
