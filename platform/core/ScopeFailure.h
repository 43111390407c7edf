#pragma once
// Runs a function when the scope it guards is left by an exception, and not
// when it is left normally: the recovery of a command that must put things
// back on every error path, written once at its top.
//
// Failure behaviour: an error raised by the function is dropped, since the
// error already on its way is the one to report.
#include <exception>
#include <functional>
#include <utility>

class ScopeFailure {
public:
    explicit ScopeFailure(std::function<void()> onFailure)
        : onFailure_(std::move(onFailure)), uncaught_(std::uncaught_exceptions())
    {}
    ~ScopeFailure()
    {
        if (std::uncaught_exceptions() > uncaught_ && onFailure_) {
            try {
                onFailure_();
            } catch (...) {
                // The error on its way is the one the operator must see.
            }
        }
    }
    ScopeFailure(const ScopeFailure&) = delete;
    ScopeFailure& operator=(const ScopeFailure&) = delete;

private:
    std::function<void()> onFailure_;
    int uncaught_;
};
