#include "ApdExceptions.h"

#include <cerrno>
#include <map>

namespace {

const std::map<int, const char*>& MessageTable() {
    static const std::map<int, const char*> table = {
        {2, "File not found"},
        {3, "Path not found"},
        {4, "Too many open files"},
        {5, "File access denied"},
        {6, "Invalid file handle"},
        {8, "Insufficient memory"},
        {15, "Invalid drive"},
        {18, "No more files"},
        {100, "Attempt to read beyond end of file"},
        {101, "Disk is full"},
        {102, "File/device not assigned"},
        {103, "File/device not open"},
        {104, "File/device not open for input"},
        {105, "File/device not open for output"},
        {150, "Disk is write-protected"},
        {151, "Unknown disk unit"},
        {152, "Drive is not ready"},
        {153, "Unknown command"},
        {154, "Data error"},
        {155, "Bad request structure length"},
        {156, "Seek error"},
        {157, "Unknown media type"},
        {158, "Disk sector not found"},
        {159, "Printer is out of paper"},
        {160, "Device write error"},
        {161, "Device read error"},
        {162, "General failure"},
        {1002, "Bad argument passed to function"},
        {2001, "ie_BadId - Specified comport doesn't exist"},
        {2002, "ie_Baudrate - unsupported baud rate"},
        {2003, "ie_Bytesize - invalid byte size"},
        {2004, "ie_Default - error in default parameters"},
        {2005, "ie_Hardware - Specified comport in use"},
        {2006, "ie_Memory - unable to allocate queues"},
        {2007, "ie_NOpen - device not open"},
        {2008, "ie_Open - device already open"},
        {2009, "No more handles, can't open port"},
        {2011, "The ComNumber property of the TApdComPort has not been set"},
        {3001, "No device layer specified"},
        {3004, "Failed to put entire block"},
        {3006, "Output buffer too small for block"},
        {3007, "Buffer is empty"},
    };
    return table;
}

std::string SystemText(int err) {
    std::string s = SystemErrorText(err);
    if (s.size() > 255) s.resize(255);
    return CleanSystemText(s);
}

template <class E> [[noreturn]] void Raise(int code) {
    throw E(code, ErrorText(-code));
}

} // namespace

std::string CleanSystemText(const std::string& text) {
    std::string out;
    for (char c : text) {
        const char b = static_cast<unsigned char>(c) < 32 ? ' ' : c;
        if (b == ' ' && !out.empty() && out.back() == ' ') continue;
        out.push_back(b);
    }
    return out;
}

std::string ErrorText(int magnitude) {
    const auto& table = MessageTable();
    if (auto it = table.find(magnitude); it != table.end()) return it->second;
    return SystemText(magnitude);
}

int CheckResult(int code) {
    if (code >= 0) return code;
    switch (code) {
    case ecode::BadArgument:
        Raise<EBadArgument>(code);
    case ecode::BadId:
        Raise<EBadId>(code);
    case ecode::Baudrate:
        Raise<EBaudRate>(code);
    case ecode::Bytesize:
        Raise<EByteSize>(code);
    case ecode::Default:
        Raise<EDefault>(code);
    case ecode::Hardware:
        Raise<EHardware>(code);
    case ecode::Memory:
        Raise<EMemory>(code);
    case ecode::CommNotOpen:
        Raise<ECommNotOpen>(code);
    case ecode::AlreadyOpen:
        Raise<EAlreadyOpen>(code);
    case ecode::NoHandles:
        Raise<ENoHandles>(code);
    case ecode::NoPortSelected:
        Raise<ENoPortSelected>(code);
    case ecode::NullApi:
        Raise<ENullApi>(code);
    case ecode::PutBlockFail:
        Raise<EPutBlockFail>(code);
    case ecode::OutputBufferTooSmall:
        Raise<EOutputBufferTooSmall>(code);
    case ecode::BufferIsEmpty:
        Raise<EBufferIsEmpty>(code);
    default:
        break;
    }
    if (code >= -162 && code <= -2) {
        const int n = -code;
        if (n == 8) throw EOutOfMemory();
        throw EInOutError(n, ErrorText(n));
    }
    if (code < ecode::PosixBase && code >= ecode::PosixBase - 4095) {
        const int err = ecode::PosixBase - code;
        if (err == ENOMEM) throw EOutOfMemory();
        throw EInOutError(err, SystemText(err));
    }
    throw EAPDException(0, "Tesk exception");
}
