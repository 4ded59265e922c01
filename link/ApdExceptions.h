#pragma once
// The serial link's failures as exception classes, with the message table and
// the one mapping from result codes to exceptions.
#include "ApdResultCodes.h"

#include <cstdint>
#include <stdexcept>
#include <string>

// Base of every exception the program shows with its message.
class Exception : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class EAPDException : public Exception {
  public:
    EAPDException(std::int32_t resultCode, const std::string& message)
        : Exception(message), Code(resultCode) {}
    std::int32_t ResultCode() const { return Code; }

  private:
    std::int32_t Code;
};

#define ORVIX_APD_CLASS(Name, Base)                                                                \
    class Name : public Base {                                                                     \
      public:                                                                                      \
        using Base::Base;                                                                          \
    };

ORVIX_APD_CLASS(EGeneral, EAPDException)
ORVIX_APD_CLASS(EOpenComm, EAPDException)
ORVIX_APD_CLASS(ESerialIO, EAPDException)

ORVIX_APD_CLASS(EBadArgument, EGeneral)

ORVIX_APD_CLASS(EBadId, EOpenComm)
ORVIX_APD_CLASS(EBaudRate, EOpenComm)
ORVIX_APD_CLASS(EByteSize, EOpenComm)
ORVIX_APD_CLASS(EDefault, EOpenComm)
ORVIX_APD_CLASS(EHardware, EOpenComm)
ORVIX_APD_CLASS(EMemory, EOpenComm)
ORVIX_APD_CLASS(ECommNotOpen, EOpenComm)
ORVIX_APD_CLASS(EAlreadyOpen, EOpenComm)
ORVIX_APD_CLASS(ENoHandles, EOpenComm)
ORVIX_APD_CLASS(ENoPortSelected, EOpenComm)

ORVIX_APD_CLASS(ENullApi, ESerialIO)
ORVIX_APD_CLASS(EPutBlockFail, ESerialIO)
ORVIX_APD_CLASS(EOutputBufferTooSmall, ESerialIO)
ORVIX_APD_CLASS(EBufferIsEmpty, ESerialIO)

#undef ORVIX_APD_CLASS

// System classes: an operating-system error number, and memory exhaustion.
class EInOutError : public Exception {
  public:
    EInOutError(std::int32_t errorCode, const std::string& message)
        : Exception(message), Code(errorCode) {}
    std::int32_t ResultCode() const { return Code; }

  private:
    std::int32_t Code;
};

class EOutOfMemory : public Exception {
  public:
    EOutOfMemory() : Exception("Out of memory") {}
};

// The table text for a magnitude, or the system's text for error n with control
// characters made blanks and runs of blanks made one; empty when neither exists.
std::string ErrorText(int magnitude);
std::string CleanSystemText(const std::string& text);
// The operating system's own text for its error number n, as it gives it (at
// most 255 characters); empty when it has none. One per platform.
std::string SystemErrorText(int n);

// Returns a code of 0 or above unchanged; raises the exception for a negative one.
int CheckResult(int code);
