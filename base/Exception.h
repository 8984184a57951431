// The root exception and the general error classes every layer relies on.
#pragma once

#include <exception>
#include <string>

namespace tabellix {

// Root of every exception the system raises; carries the message text.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }
    void SetMessage(std::string message) { FMessage = std::move(message); }
    virtual std::string ClassName() const { return "Exception"; }

private:
    std::string FMessage;
};

#define TABELLIX_EXCEPTION(Name, Base)                                                             \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        std::string ClassName() const override { return #Name; }                                   \
    }

// Text that cannot be read as a number, a variant of the wrong kind.
TABELLIX_EXCEPTION(EConvertError, Exception);
// A file that could not be created ("Cannot create file "%s". %s").
TABELLIX_EXCEPTION(EFCreateError, Exception);
TABELLIX_EXCEPTION(EArgumentException, Exception);
TABELLIX_EXCEPTION(ENotSupportedException, Exception);
// Ends an operation silently: handlers do not show it.
TABELLIX_EXCEPTION(EAbort, Exception);
// A failed internal check: a programming fault, never the user's.
TABELLIX_EXCEPTION(EAssertionFailed, Exception);

// An operating-system call failed; keeps the system's error number.
class EOSError : public Exception {
public:
    EOSError(std::string message, int errorCode)
        : Exception(std::move(message)), FErrorCode(errorCode) {}
    int ErrorCode() const { return FErrorCode; }
    std::string ClassName() const override { return "EOSError"; }

private:
    int FErrorCode;
};

// The system's text for an errno value.
std::string SysErrorMessage(int errorCode);

} // namespace tabellix
