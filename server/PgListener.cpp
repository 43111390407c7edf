#include "server/PgListener.h"

#include "server/PgDatabase.h"
#include "server/ServerMetrics.h"

#include <libpq-fe.h>
#include <poll.h>
#include <spdlog/spdlog.h>

#include <chrono>

PgListener::PgListener(std::string url, std::function<void(const std::string&)> heard, std::function<void()> resumed)
    : url_(std::move(url)), heard_(std::move(heard)), resumed_(std::move(resumed))
{
    thread_ = std::thread([this] { Run(); });
}

PgListener::~PgListener()
{
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

pg_conn* PgListener::Connect()
{
    const char* keys[] = {"dbname", "application_name", "connect_timeout", nullptr};
    const char* values[] = {url_.c_str(), kApplicationName, "5", nullptr};
    pg_conn* conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn) != CONNECTION_OK) {
        PQfinish(conn);
        return nullptr;
    }
    PGresult* listen = PQexec(conn, (std::string("LISTEN ") + PgDatabase::kChannel).c_str());
    const bool ok = PQresultStatus(listen) == PGRES_COMMAND_OK;
    PQclear(listen);
    if (!ok) {
        PQfinish(conn);
        return nullptr;
    }
    return conn;
}

void PgListener::Run()
{
    pg_conn* conn = nullptr;
    bool lost = false;
    while (!stopping_) {
        if (conn == nullptr) {
            conn = Connect();
            if (conn == nullptr) {
                ServerMetrics::Instance().DatabaseError();
                if (!lost) {
                    spdlog::warn("live updates: cannot listen to the database for other servers' changes; trying "
                                 "again every second");
                    lost = true;
                }
                for (int i = 0; i < 10 && !stopping_; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                }
                continue;
            }
            if (lost) {
                spdlog::info("live updates: listening to the database again; every screen reads its client again");
                lost = false;
                ServerMetrics::Instance().DatabaseReconnected();
                resumed_();
            }
        }
        pollfd fd{PQsocket(conn), POLLIN, 0};
        const int n = ::poll(&fd, 1, 100);
        if (n < 0) {
            continue;
        }
        if (n == 1 && (PQconsumeInput(conn) == 0 || PQstatus(conn) != CONNECTION_OK)) {
            spdlog::warn("live updates: the connection listening to the database was lost: {}", PQerrorMessage(conn));
            PQfinish(conn);
            conn = nullptr;
            lost = true;
            continue;
        }
        while (PGnotify* note = PQnotifies(conn)) {
            heard_(note->extra != nullptr ? note->extra : "");
            PQfreemem(note);
        }
    }
    PQfinish(conn);
}
