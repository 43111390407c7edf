#include "server/RemoteModule.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <new>
#include <stdexcept>
#include <strings.h>

void RemoteModule::AddMethod(const std::string& name, std::function<Variant(std::vector<Variant>& args)> run,
                             bool writeLock)
{
    const ContractMethod* declaration = contract_.FindMethod(name);
    if (!declaration) {
        throw std::logic_error(name + " is not declared in the contract of " + contract_.ServerName());
    }
    methods_.push_back({declaration, std::move(run), declaration->writes && writeLock});
}

void RemoteModule::CheckAccess(const ContractMethod& method, const std::string& /*branch*/,
                               const std::string* /*client*/)
{
    throw ERemoteRefusal(method.name + ": " + ServerName() + " checks no branch rights; nothing was done", 0,
                         "srv.filial_proibida", {method.name, "", ""});
}

const MethodDecl* RemoteModule::Find(const std::string& name) const
{
    for (const auto& m : methods_) {
        const std::string& declared = m.declaration->name;
        if (declared.size() == name.size() && strcasecmp(declared.c_str(), name.c_str()) == 0) {
            return &m;
        }
    }
    return nullptr;
}

Protocol::CallReply RemoteModule::Dispatch(const Protocol::Call& call)
{
    Protocol::CallReply reply;
    const std::string& name = call.descriptor.Method();
    const MethodDecl* found = Find(name);
    // A call that does not fit the module is refused for good: sending it
    // again cannot help.
    reply.faultKind = TFaultKind::fkRefused;
    if (!found) {
        reply.message = name + " is not a method of " + ServerName();
        reply.code = "srv.metodo_desconhecido";
        reply.args = {name};
        return reply;
    }
    const ContractMethod* method = found->declaration;
    if (call.descriptor.ArgTypes() != method->args) {
        CallDescriptor declared(method->name, method->args);
        reply.message = "Call of " + method->name + " refused: its descriptor " +
                        CallDescriptor::Hex(call.descriptor.Head()) + " does not match the method's declaration " +
                        CallDescriptor::Hex(declared.Head());
        reply.code = "srv.descritor";
        reply.args = {method->name};
        return reply;
    }
    reply.faultKind = TFaultKind::fkRetry;
    std::vector<Variant> args = call.args;
    try {
        if (db_) {
            db_->Begin(found->writeLock);
        }
        if (method->branchArg >= 0) {
            const auto at = [&args](int i) { return args[static_cast<size_t>(i)].AsString(); };
            const std::string client = method->clientArg >= 0 ? at(method->clientArg) : std::string();
            CheckAccess(*method, at(method->branchArg), method->clientArg >= 0 ? &client : nullptr);
        }
        reply.result = found->run(args);
        if (db_) {
            db_->Commit();
        }
        reply.ok = true;
    } catch (const ERemoteError& e) {
        if (db_) {
            db_->Rollback();
        }
        reply.message = e.what();
        reply.code = e.Code();
        reply.args = e.Args();
        if (const auto* refusal = dynamic_cast<const ERemoteRefusal*>(&e)) {
            reply.faultKind = TFaultKind::fkRefused;
            reply.faultEntry = refusal->Entry();
        }
        return reply;
    } catch (const std::bad_alloc&) {
        if (db_) {
            db_->Rollback();
        }
        reply.message = "The application server ran out of memory for " + method->name + "; try again later";
        reply.code = "srv.sem_memoria";
        reply.args = {method->name};
        return reply;
    } catch (const std::exception& e) {
        // The database's own words stay in the server's log; the operator
        // learns which call could not be done.
        if (db_) {
            db_->Rollback();
        }
        reply.message = e.what();
        reply.code = "srv.falhou";
        reply.args = {method->name};
        return reply;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (method->args[i] == TArgType::atVariantByRef && !(args[i] == call.args[i])) {
            reply.byRef.emplace_back(static_cast<std::uint32_t>(i), args[i]);
        }
    }
    return reply;
}

bool RemoteModule::AnswersDataSet(const std::string& method) const
{
    const ContractMethod* declared = contract_.FindMethod(method);
    return declared != nullptr && declared->result == TResultKind::rkDataSet;
}

std::optional<RemoteModule::ViewKey> RemoteModule::Watched(const Protocol::Call& call) const
{
    const auto view = contract_.WatchedView(
        call.descriptor.Method(), [&call](size_t i) { return i < call.args.size() ? &call.args[i] : nullptr; });
    if (!view) {
        return std::nullopt;
    }
    try {
        return ViewKey{Cp1252::ToUtf8(view->first), Cp1252::ToUtf8(view->second)};
    } catch (const EConvertError&) {
        return std::nullopt;
    }
}
