#pragma once
// Result codes inside the link: 0 for success, negative for failure. The
// device layers give the operating system's error number negated; these are
// the numbers the port component treats specially, and the link's own codes.
namespace ecode {
// Operating-system error numbers as the device layers report them.
constexpr int FileNotFound = -2; // no such device
constexpr int PathNotFound = -3; // no such device either
constexpr int AccessDenied = -5; // another program holds the device
constexpr int OutOfMemory = -8;  // the signals for overlapped operations could not be made

// The link's own, each with a row in the message table.
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
