#include "server/ExistenceChecks.h"

#include "platform/core/Cp1252.h"
#include "platform/core/Exception.h"

#include <optional>

void ExistenceChecks::Add(const std::string& branch, const std::string& client, const std::string& service,
                          unsigned entry)
{
    clients_.emplace(Pair{branch, client}, entry);
    services_.emplace(Pair{branch, service}, entry);
}

void ExistenceChecks::RefuseMissing(Database& db, const std::string& method) const
{
    using Missing = std::pair<Pair, unsigned>;
    std::optional<Missing> client;
    std::optional<Missing> service;
    auto note = [](std::optional<Missing>& earliest, const Missing& found) {
        if (!earliest || found.second < earliest->second) {
            earliest = found;
        }
    };
    auto c = clients_.begin();
    auto s = services_.begin();
    while (c != clients_.end() || s != services_.end()) {
        const bool both = c != clients_.end() && s != services_.end();
        if (both) {
            auto found = db.Query("SELECT (SELECT 1 FROM CLIENTE WHERE CDFILIAL = ? AND CDCLIENTE = ?), "
                                  "(SELECT 1 FROM SERVFILI WHERE CDFILIAL = ? AND CDSERVFILI = ?)",
                                  {c->first.first, c->first.second, s->first.first, s->first.second});
            const bool answered = !found.empty() && found[0].size() == 2;
            if (!answered || !found[0][0]) {
                note(client, *c);
            }
            if (!answered || !found[0][1]) {
                note(service, *s);
            }
        } else if (c != clients_.end()) {
            if (db.Query("SELECT 1 FROM CLIENTE WHERE CDFILIAL = ? AND CDCLIENTE = ?",
                         {c->first.first, c->first.second})
                    .empty()) {
                note(client, *c);
            }
        } else if (db.Query("SELECT 1 FROM SERVFILI WHERE CDFILIAL = ? AND CDSERVFILI = ?",
                            {s->first.first, s->first.second})
                       .empty()) {
            note(service, *s);
        }
        if (c != clients_.end()) {
            ++c;
        }
        if (s != services_.end()) {
            ++s;
        }
    }
    if (client && (!service || client->second <= service->second)) {
        Refuse(method, *client, "client", "srv.sem_cliente");
    }
    if (service) {
        Refuse(method, *service, "service", "srv.sem_servico");
    }
}

void ExistenceChecks::Refuse(const std::string& method, const std::pair<Pair, unsigned>& missing, const char* what,
                             const char* code)
{
    const std::string branch = Cp1252::FromUtf8(missing.first.first);
    const std::string key = Cp1252::FromUtf8(missing.first.second);
    throw ERemoteRefusal(method + ": the branch " + branch + " has no " + what + " " + key + "; nothing was stored",
                         missing.second, code, {branch, key});
}
