#pragma once
// Listens, on a PostgreSQL connection of its own, to the channel the servers
// on the database announce their stored changes on (PgDatabase::Announce),
// and hands each text to heard. A connection that is lost is made again
// (once a second while the database does not answer); resumed then runs, as
// texts may have been missed meanwhile. The connection names itself
// "servcliente-listener" to the database (application_name).
#include "server/ChangeListener.h"

#include <atomic>
#include <functional>
#include <string>
#include <thread>

struct pg_conn;

class PgListener : public ChangeListener {
public:
    PgListener(std::string url, std::function<void(const std::string&)> heard, std::function<void()> resumed);
    ~PgListener() override;
    PgListener(const PgListener&) = delete;
    PgListener& operator=(const PgListener&) = delete;

    static constexpr const char* kApplicationName = "servcliente-listener";

private:
    void Run();
    // Connects and listens; null when the database does not answer.
    pg_conn* Connect();

    const std::string url_;
    std::function<void(const std::string&)> heard_;
    std::function<void()> resumed_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
