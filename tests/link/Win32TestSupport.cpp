// The link tests' platform part on Windows, run under Wine: the far end of
// COM n is a pseudo-terminal that the Wine set-up maps to the port, reached
// through a relay on the loopback interface; the event loop is the thread's
// message loop.
#include "LinkTestSupport.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <stdexcept>

struct TestHost::Impl {};

TestHost::TestHost(int&, char**) : P(nullptr) {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    // Test listings are read line by line: no carriage returns.
    _setmode(_fileno(stdout), _O_BINARY);
}

TestHost::~TestHost() {
    WSACleanup();
}

TestPty::TestPty(int comNumber) : ComNumber(comNumber), Socket(INVALID_SOCKET) {
    const std::string variable = "ORVIX_TEST_COM" + std::to_string(comNumber) + "_PEER";
    const char* port = std::getenv(variable.c_str());
    if (!port) throw std::runtime_error(variable + " is not set: run under ./test --windows");
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    // Small buffers, so that a far end that reads nothing soon holds up the line.
    int size = 4096, one = 1;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size), sizeof size);
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    // Send gives up on a port that takes nothing, as on Linux: a test fails, never hangs.
    const DWORD sendTimeoutMs = 30000;
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendTimeoutMs),
               sizeof sendTimeoutMs);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        closesocket(s);
        throw std::runtime_error("no relay for COM" + std::to_string(comNumber));
    }
    Socket = s;
    // The relay answers once it has emptied the terminal of what came before.
    if (Receive(1, 5000) != "\x06") throw std::runtime_error("the relay did not answer");
}

TestPty::~TestPty() {
    closesocket(static_cast<SOCKET>(Socket));
}

void TestPty::Send(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const int n = send(static_cast<SOCKET>(Socket), bytes.data() + done,
                           static_cast<int>(bytes.size() - done), 0);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

long TestPty::ReceiveSome(char* buffer, std::size_t size, int timeoutMs) const {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(Socket), &readable);
    timeval wait{timeoutMs / 1000, timeoutMs % 1000 * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return 0;
    return recv(static_cast<SOCKET>(Socket), buffer, static_cast<int>(size), 0);
}

TLineView ViewLine(const TestPty& pty) {
    // Wine lets a second handle onto the port; the Wine set-up wires RTS back
    // to CTS and DTR to DSR, as a loopback plug would.
    TLineView view;
    const std::string name = "\\\\.\\COM" + std::to_string(pty.ComNumber);
    const HANDLE h = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return view;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetCommState(h, &dcb)) {
        view.Baud = static_cast<int>(dcb.BaudRate);
        view.DataBits = dcb.ByteSize;
        view.Parity = dcb.Parity;
        view.StopBits = dcb.StopBits == ONESTOPBIT ? 1 : 2;
    }
    DWORD modem = 0;
    if (GetCommModemStatus(h, &modem)) {
        view.Dtr = (modem & MS_DSR_ON) != 0;
        view.Rts = (modem & MS_CTS_ON) != 0;
    }
    CloseHandle(h);
    return view;
}

int MissingComNumber() {
    // Wine gives a machine's real serial ports the free numbers from COM1 on;
    // a port mapped to a missing device would still open there.
    return 99;
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

void RunFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    }
}

int OpenHandleCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

int ThreadCount() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    int n = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snapshot);
    return n;
}

double CpuMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto ms = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

long ContextSwitches() {
    return -1;
}
