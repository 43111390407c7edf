#include "server/LivenessProbe.h"

#include "platform/core/Exception.h"

LivenessProbe::LivenessProbe(std::string location, DatabaseOptions options)
    : location_(std::move(location)), options_(std::move(options))
{}

bool LivenessProbe::Probe(std::string& why) const
{
    try {
        // A probe asks; it never makes a database where there is none.
        if (!Database::Exists(location_)) {
            throw EDatabaseError("the database " + location_ + " does not exist");
        }
        auto db = Database::Open(location_, options_);
        db->Query("SELECT 1 FROM FILIAL WHERE 1 = 0", {});
        return true;
    } catch (const std::exception& e) {
        why = e.what();
        return false;
    }
}

bool LivenessProbe::DatabaseAnswers(const std::function<bool()>& wanted, std::string& why)
{
    std::unique_lock lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (answered_ && now - at_ < kReuseFor) {
        why = why_;
        return answers_;
    }
    if (running_) {
        // Another question's probe runs: its answer is this one's too.
        const unsigned long waitedFor = probes_;
        const auto until = now + kLongestWait;
        while (running_ && probes_ == waitedFor && std::chrono::steady_clock::now() < until) {
            done_.wait_for(lock, std::chrono::milliseconds(20));
            if (!wanted()) {
                break;
            }
        }
        if (probes_ != waitedFor) {
            why = why_;
            return answers_;
        }
        why = "no answer within " + std::to_string(kLongestWait.count()) + " ms";
        return false;
    }
    running_ = true;
    lock.unlock();
    std::string reason;
    const bool answers = Probe(reason);
    lock.lock();
    running_ = false;
    ++probes_;
    answered_ = true;
    answers_ = answers;
    why_ = reason;
    at_ = std::chrono::steady_clock::now();
    done_.notify_all();
    why = reason;
    return answers;
}
