#pragma once
// The serial link's failures as exception classes, with the message table and
// the one mapping from result codes to exceptions.
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

// Result codes of the link's own.
namespace ecode {
constexpr int BadArgument = -1002;
constexpr int BadId = -2001;
constexpr int Baudrate = -2002;
constexpr int Bytesize = -2003;
constexpr int Default = -2004;
constexpr int Hardware = -2005;
constexpr int Memory = -2006;
constexpr int CommNotOpen = -2007;
constexpr int AlreadyOpen = -2008;
constexpr int NoHandles = -2009;
constexpr int NoPortSelected = -2011;
constexpr int NullApi = -3001;
constexpr int PutBlockFail = -3004;
constexpr int OutputBufferTooSmall = -3006;
constexpr int BufferIsEmpty = -3007;

// Codes below this carry a POSIX errno (code = PosixBase - errno). POSIX error
// numbers overlap the table's rows for other meanings (EIO is 5, the table's
// "access denied"), so they travel apart and always show the system's text.
constexpr int PosixBase = -100000;
constexpr int FromErrno(int err) {
    return PosixBase - err;
}
} // namespace ecode

// The table text for a magnitude, or the system's text for error n with control
// characters made blanks and runs of blanks made one; empty when neither exists.
std::string ErrorText(int magnitude);
std::string CleanSystemText(const std::string& text);

// Returns a code of 0 or above unchanged; raises the exception for a negative one.
int CheckResult(int code);
