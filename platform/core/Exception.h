#pragma once
// The error types that cross the platform. Every message is Windows-1252 text,
// as the operator will read it.
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    const std::string Message() const { return what(); }
};

// Raised after the operator has already been told: the report shows nothing.
class EAbort : public Exception {
public:
    EAbort() : Exception("Operation aborted") {}
};

// Text with no Windows-1252 form, or a value that cannot be converted.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A call that does not fit the object's state (focusing a hidden control...).
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// A form resource that cannot be read or applied: names file, line and column.
class EResourceError : public Exception {
public:
    EResourceError(const std::string& file, int line, int column, const std::string& what)
        : Exception(file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what),
          file_(file),
          line_(line),
          column_(column)
    {}
    const std::string& File() const { return file_; }
    int Line() const { return line_; }
    int Column() const { return column_; }

private:
    std::string file_;
    int line_;
    int column_;
};

// Data sets, fields, queries and the databases behind them.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

// A data packet or frame that does not decode.
class EPacketError : public Exception {
public:
    using Exception::Exception;
};

// A packet that would hold more values than its reader's budget allows.
class EValueBudget : public EPacketError {
public:
    using EPacketError::EPacketError;
};

// What went wrong with a connection, for a message in the operator's
// language; the exception's own text keeps the technical detail.
enum class TSocketCause {
    scOther,
    scRefused,
    scTimedOut,
    scReset,
    scClosed,
    scNameNotFound,
    scProtocol,
    scCertificate, // the server's TLS certificate did not pass the check
    scCleartext,   // a secret would have crossed the network without TLS
    scOversize     // the server's answer holds more values than the client accepts
};

// The connection to the application server: connect, send, receive, time-outs.
class ESocketError : public Exception {
public:
    explicit ESocketError(const std::string& message, TSocketCause cause = TSocketCause::scOther)
        : Exception(message), cause_(cause)
    {}
    TSocketCause Cause() const { return cause_; }

private:
    TSocketCause cause_;
};

// The connection failed while a call was in flight (no answer within the
// call time-out, closed, reset, garbled): the server may or may not have run
// the call, so a change it carried is in doubt until its effect is read back.
class ECallInDoubt : public ESocketError {
public:
    using ESocketError::ESocketError;
};

// An error raised by the application server while it ran a call. Unless it
// is an ERemoteRefusal, the call was not done and may succeed if sent again
// (the database was unavailable, the server was stopping...). Code and Args,
// when the server gave them, let the client say it in the operator's
// language; the message is the server's own text.
class ERemoteError : public Exception {
public:
    explicit ERemoteError(const std::string& message, std::string code = {}, std::vector<std::string> args = {})
        : Exception(message), code_(std::move(code)), args_(std::move(args))
    {}
    const std::string& Code() const { return code_; }
    const std::vector<std::string>& Args() const { return args_; }

private:
    std::string code_;
    std::vector<std::string> args_;
};

// A call the application server refused for good: sent again unchanged it
// can never succeed (an unknown or removed client or service, a text too
// long, a value that breaks a rule). Entry is the 1-based entry of the change
// packet at fault, 0 when the call as a whole was refused.
class ERemoteRefusal : public ERemoteError {
public:
    explicit ERemoteRefusal(const std::string& message, unsigned entry = 0, std::string code = {},
                            std::vector<std::string> args = {})
        : ERemoteError(message, std::move(code), std::move(args)), entry_(entry)
    {}
    unsigned Entry() const { return entry_; }

private:
    unsigned entry_;
};

// Loading a package or finding its exports.
class EPackageError : public Exception {
public:
    using Exception::Exception;
};
