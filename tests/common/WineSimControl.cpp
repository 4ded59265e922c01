#include "WineSimControl.h"

#include <cstdlib>
#include <winsock2.h>

std::string SimControl(const std::string& request) {
    const char* port = std::getenv("ORVIX_TEST_SIM_CONTROL");
    if (!port) return "error: ORVIX_TEST_SIM_CONTROL is not set";
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(std::atoi(port)));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const DWORD timeoutMs = 30000; // sim-control answers within 10 s
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs),
               sizeof timeoutMs);
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string line = request + "\n";
        send(s, line.data(), static_cast<int>(line.size()), 0);
        char c = 0;
        while (recv(s, &c, 1, 0) == 1 && c != '\0')
            answer += c;
    }
    closesocket(s);
    return answer;
}
