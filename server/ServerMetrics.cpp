#include "server/ServerMetrics.h"

#include "platform/net/ServClienteContract.h"
#include "server/HealthCheck.h"

#include <prometheus/counter.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>

namespace {

// Seconds: a read of one branch's rows takes a few milliseconds, a change
// waits for its commit's sync, a call held up by a lock for seconds.
const prometheus::Histogram::BucketBoundaries kLatency = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1,
                                                          0.25,  0.5,    1,     2.5,  5,     10};
// Changes: the group commit takes at most 64 in one batch.
const prometheus::Histogram::BucketBoundaries kBatch = {1, 2, 4, 8, 16, 32, 64};

// In the order of ServerMetrics::THandshake.
const char* const kHandshakeOutcomes[] = {"accepted", "refused", "full", "no_database", "liveness", "dropped"};

} // namespace

ServerMetrics& ServerMetrics::Instance()
{
    static ServerMetrics metrics;
    return metrics;
}

ServerMetrics::ServerMetrics()
    : registry_(std::make_shared<prometheus::Registry>()),
      sessions_(&prometheus::BuildGauge()
                     .Name("servcliente_sessions_open")
                     .Help("Sessions that finished their handshake and hold a connection place")
                     .Register(*registry_)
                     .Add({})),
      contract_(ServClienteContract::Get()),
      other_(MakeMethod("other")),
      batches_(&prometheus::BuildHistogram()
                    .Name("servcliente_group_commit_batch_changes")
                    .Help("Changes in each batch of the group commit (one transaction, one durable commit)")
                    .Register(*registry_)
                    .Add({}, kBatch)),
      answerWaits_(&prometheus::BuildCounter()
                        .Name("servcliente_answer_budget_waits_total")
                        .Help("Times a call answering a data set found the answer memory (--answer-memory) full and "
                              "waited for room")
                        .Register(*registry_)
                        .Add({})),
      answerTimeouts_(&prometheus::BuildCounter()
                           .Name("servcliente_answer_budget_timeouts_total")
                           .Help("Calls sent back because no answer memory came free in time")
                           .Register(*registry_)
                           .Add({})),
      databaseErrors_(&prometheus::BuildCounter()
                           .Name("servcliente_database_errors_total")
                           .Help("Failures the database reported that are no refusal: connections lost or refused, "
                                 "lock time-outs, a full disk")
                           .Register(*registry_)
                           .Add({})),
      reconnects_(&prometheus::BuildCounter()
                       .Name("servcliente_database_reconnects_total")
                       .Help("Connections to the database opened again after they broke")
                       .Register(*registry_)
                       .Add({})),
      updates_(&prometheus::BuildCounter()
                    .Name("servcliente_live_updates_sent_total")
                    .Help("Updates sent to sessions of what other sessions stored")
                    .Register(*registry_)
                    .Add({}))
{
    auto& handshakes = prometheus::BuildCounter()
                           .Name("servcliente_handshakes_total")
                           .Help("Handshakes by outcome")
                           .Register(*registry_);
    for (const char* outcome : kHandshakeOutcomes) {
        handshakes_.push_back(&handshakes.Add({{"outcome", outcome}}));
    }
    for (const ContractMethod& method : contract_.Methods()) {
        methods_.emplace(&method, MakeMethod(method.name));
    }
}

ServerMetrics::MethodMetrics ServerMetrics::MakeMethod(const std::string& name)
{
    // Both families are registered once; later calls return them.
    auto& calls = prometheus::BuildCounter()
                      .Name("servcliente_calls_total")
                      .Help("Calls by method (as the contract names it; other: a name it does not declare) and "
                            "outcome (ok; refused: sent again it fails again; failed: it may pass sent again)")
                      .Register(*registry_);
    auto& latency = prometheus::BuildHistogram()
                        .Name("servcliente_call_duration_seconds")
                        .Help("Time a call ran, from its dispatch to its result, by method")
                        .Register(*registry_);
    return {&calls.Add({{"method", name}, {"outcome", "ok"}}), &calls.Add({{"method", name}, {"outcome", "refused"}}),
            &calls.Add({{"method", name}, {"outcome", "failed"}}), &latency.Add({{"method", name}}, kLatency)};
}

void ServerMetrics::Handshake(THandshake outcome)
{
    handshakes_[static_cast<size_t>(outcome)]->Increment();
}

void ServerMetrics::SessionOpened()
{
    sessions_->Increment();
}

void ServerMetrics::SessionClosed()
{
    sessions_->Decrement();
}

void ServerMetrics::Call(const std::string& method, const Protocol::CallReply& reply,
                         std::chrono::steady_clock::duration took)
{
    const auto found = methods_.find(contract_.FindMethod(method));
    const MethodMetrics& m = found == methods_.end() ? other_ : found->second;
    if (reply.ok) {
        m.ok->Increment();
    } else if (reply.faultKind == TFaultKind::fkRefused) {
        m.refused->Increment();
    } else {
        m.failed->Increment();
    }
    m.latency->Observe(std::chrono::duration<double>(took).count());
}

void ServerMetrics::Batch(size_t changes)
{
    batches_->Observe(static_cast<double>(changes));
}

void ServerMetrics::AnswerWait(bool full)
{
    if (full) {
        answerWaits_->Increment();
    }
}

void ServerMetrics::AnswerRoom(bool room)
{
    if (!room) {
        answerTimeouts_->Increment();
    }
}

void ServerMetrics::DatabaseError()
{
    databaseErrors_->Increment();
}

void ServerMetrics::DatabaseReconnected()
{
    reconnects_->Increment();
}

void ServerMetrics::UpdateSent()
{
    updates_->Increment();
}

bool ServerMetrics::ParseAddress(const std::string& text, std::string& host, int& port)
{
    if (!text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos) {
        host = "127.0.0.1";
        port = std::stoi(text);
        return port <= 65535;
    }
    return HealthCheck::ParseAddress(text, host, port, 0);
}
