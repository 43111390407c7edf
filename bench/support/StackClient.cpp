#include "bench/support/StackClient.h"

#include "platform/data/TField.h"
#include "platform/net/FrameBuffer.h"
#include "platform/net/Protocol.h"
#include "server/RdmServCliente.h"

StackClient::StackClient(const std::string& host, int port)
{
    connection_.SetServerName(RdmServCliente::kServerName);
    connection_.SetHost(host);
    connection_.SetPort(port);
    connection_.SetThrowException(true);
    connection_.Open();
}

void StackClient::Load(const std::string& branch, const std::string& client)
{
    cds_.SetData(Fetch("GetServClie", branch, client));
}

Variant StackClient::Fetch(const std::string& method, const std::string& branch, const std::string& client,
                           size_t* payloadBytes)
{
    std::vector<RemoteArg> args{RemoteArg::Text(branch), RemoteArg::Text(client)};
    Variant answer = connection_.AppServer().Call(method, args);
    if (payloadBytes != nullptr) {
        Protocol::CallReply reply;
        reply.ok = true;
        reply.result = answer;
        *payloadBytes = Protocol::EncodeCallReply(reply).size() + FrameBuffer::kHeaderSize;
    }
    return answer;
}

void StackClient::InsertOne(const std::string& branch, const std::string& client, const std::string& service,
                            const std::string& name)
{
    cds_.Insert();
    cds_.FieldByName("CDFILIAL")->SetAsString(branch);
    cds_.FieldByName("CDCLIENTE")->SetAsString(client);
    cds_.FieldByName("CDSERVFILI")->SetAsString(service);
    cds_.FieldByName("NMSERVICO")->SetAsString(name);
    cds_.Post();
    Send();
}

void StackClient::DeleteCurrent()
{
    cds_.Delete();
    Send();
}

void StackClient::Send()
{
    Variant packet;
    if (cds_.GetChangeCount() >= 1) {
        packet = cds_.GetDelta();
    }
    std::vector<RemoteArg> args{RemoteArg::ByRef(packet)};
    if (lastRequestBytes_ == 0) {
        Protocol::Call call;
        call.descriptor = CallDescriptor("ApCoServClie", {TArgType::atVariantByRef});
        call.args.push_back(packet);
        lastRequestBytes_ = Protocol::EncodeCall(call).size() + FrameBuffer::kHeaderSize;
    }
    Variant answer = connection_.AppServer().Call("ApCoServClie", args);
    (void)answer.AsString();
    cds_.MergeChangeLog();
}
