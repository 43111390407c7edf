#include "platform/net/RemoteContract.h"

#include "platform/net/ServClienteContract.h"

#include "platform/core/Exception.h"

#include <stdexcept>
#include <strings.h>

namespace {

bool SameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

} // namespace

int ContractDataSet::FieldIndex(const std::string& fieldName) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (SameName(fields[i].name, fieldName)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const ContractField& ContractDataSet::Field(const std::string& fieldName) const
{
    const int i = FieldIndex(fieldName);
    if (i < 0) {
        throw std::out_of_range("The data set " + name + " has no field " + fieldName);
    }
    return fields[static_cast<size_t>(i)];
}

std::vector<PacketField> ContractDataSet::PacketFields() const
{
    std::vector<PacketField> out;
    for (const auto& f : fields) {
        PacketField p;
        p.name = f.name;
        p.type = f.type;
        p.size = f.size;
        out.push_back(p);
    }
    return out;
}

RemoteContract::RemoteContract(std::string serverName, std::vector<ContractDataSet> dataSets,
                               std::vector<ContractMethod> methods, std::optional<ContractLiveUpdate> liveUpdate)
    : serverName_(std::move(serverName)),
      dataSets_(std::move(dataSets)),
      methods_(std::move(methods)),
      liveUpdate_(std::move(liveUpdate))
{
    if (!liveUpdate_) {
        return;
    }
    const ContractMethod* watched = FindMethod(liveUpdate_->watchedBy);
    if (!watched || watched->branchArg < 0 || watched->clientArg < 0 || watched->result != TResultKind::rkDataSet ||
        DataSet(watched->dataSet).FieldIndex(liveUpdate_->itemField) < 0) {
        throw std::logic_error(serverName_ + ": live updates follow " + liveUpdate_->watchedBy +
                               ", which must answer a data set with the field " + liveUpdate_->itemField +
                               " and name a branch and a client");
    }
}

const ContractMethod* RemoteContract::FindMethod(const std::string& name) const
{
    for (const auto& m : methods_) {
        if (SameName(m.name, name)) {
            return &m;
        }
    }
    return nullptr;
}

const ContractDataSet& RemoteContract::DataSet(const std::string& name) const
{
    for (const auto& d : dataSets_) {
        if (SameName(d.name, name)) {
            return d;
        }
    }
    throw std::out_of_range(serverName_ + " declares no data set " + name);
}

void RemoteContract::CheckCall(const std::string& method, const std::vector<TArgType>& args) const
{
    const ContractMethod* m = FindMethod(method);
    if (!m) {
        throw ERemoteRefusal(method + " is not a method of " + serverName_, 0, "srv.metodo_desconhecido", {method});
    }
    if (m->args != args) {
        throw ERemoteRefusal("Call of " + m->name + " refused: its argument kinds " +
                                 CallDescriptor::Hex(CallDescriptor(m->name, args).Head()) +
                                 " do not match the method's declaration " +
                                 CallDescriptor::Hex(CallDescriptor(m->name, m->args).Head()),
                             0, "srv.descritor", {m->name});
    }
}

void RemoteContract::CheckFields(const std::string& dataSet, const std::vector<std::pair<std::string, int>>& fields,
                                 const std::string& owner) const
{
    const ContractDataSet& declared = DataSet(dataSet);
    auto refuse = [&](const std::string& why) {
        throw EDatabaseError(owner + ": " + why + " (" + serverName_ + ", " + dataSet + ")");
    };
    for (const auto& [name, size] : fields) {
        const int i = declared.FieldIndex(name);
        if (i < 0) {
            refuse("the field " + name + " is not one the server sends");
        }
        const int wanted = declared.fields[static_cast<size_t>(i)].size;
        if (size != wanted) {
            refuse("the field " + name + " has the size " + std::to_string(size) + ", the server's " +
                   std::to_string(wanted));
        }
    }
    for (const auto& f : declared.fields) {
        bool found = false;
        for (const auto& [name, size] : fields) {
            found = found || SameName(name, f.name);
        }
        if (!found) {
            refuse("the field " + f.name + " the server sends is missing");
        }
    }
}

const RemoteContract* RemoteContract::Find(const std::string& serverName)
{
    const RemoteContract& servCliente = ServClienteContract::Get();
    return SameName(serverName, servCliente.ServerName()) ? &servCliente : nullptr;
}

std::optional<std::pair<std::string, std::string>>
RemoteContract::WatchedView(const std::string& method, const std::function<const Variant*(size_t)>& arg) const
{
    if (!liveUpdate_ || !SameName(method, liveUpdate_->watchedBy)) {
        return std::nullopt;
    }
    const ContractMethod* watching = FindMethod(liveUpdate_->watchedBy);
    const Variant* branch = arg(static_cast<size_t>(watching->branchArg));
    const Variant* client = arg(static_cast<size_t>(watching->clientArg));
    if (!branch || !client || branch->GetKind() != Variant::Kind::String ||
        client->GetKind() != Variant::Kind::String) {
        return std::nullopt;
    }
    return std::pair{branch->AsString(), client->AsString()};
}
