#pragma once
// The screen's data path without the screen: a TNetConnection to the
// application server's rdmServCliente and a client data set of the client's
// services. Each insert or delete is posted, then sent as the whole change
// log with one ApCoServClie and merged, exactly as the screen's after-post
// and after-delete handlers do.
//
// Failure behaviour: errors of the connection, the server or the data set
// pass on unchanged (ESocketError, ERemoteError, EDatabaseError).
#include "host/TNetConnection.h"
#include "platform/data/TClientDataSet.h"

#include <string>

class StackClient {
public:
    StackClient(const std::string& host, int port);

    // Loads the client's services with GetServClie.
    void Load(const std::string& branch, const std::string& client);
    // Inserts and posts one row, then sends and merges it.
    void InsertOne(const std::string& branch, const std::string& client, const std::string& service,
                   const std::string& name);
    // Deletes the current row, then sends and merges the deletion.
    void DeleteCurrent();
    // Calls a two-text method and returns the result; payloadBytes gets the
    // size of the answer's frame as it travelled.
    Variant Fetch(const std::string& method, const std::string& branch, const std::string& client,
                  size_t* payloadBytes = nullptr);
    // Size of the ApCoServClie request frame of the last send.
    size_t LastRequestBytes() const { return lastRequestBytes_; }

    TClientDataSet& Data() { return cds_; }
    TNetConnection& Connection() { return connection_; }

private:
    void Send();

    TNetConnection connection_{nullptr};
    TClientDataSet cds_{nullptr};
    size_t lastRequestBytes_ = 0;
};
