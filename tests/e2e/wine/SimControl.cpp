// Test-only, a Linux program beside Wine: runs orvix-ups-sim for the Windows
// end-to-end tests, which cannot start or signal a Linux program themselves.
// Usage: sim-control SIM LINK DEFAULT. Prints a TCP port on the loopback
// interface, then serves one request per connection, a line each:
//   start ARGS...  (re)starts SIM ARGS with its terminal at the symbolic link
//                  LINK (the path Wine's COM port names); answers "ok"
//   state          the registers as the simulator writes them on SIGUSR1
//   log            the simulator's command and reply log
//   stop           ends the simulator and points LINK back at DEFAULT
// Each answer ends with a NUL byte. Ends on SIGTERM.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

std::string Sim, Link, Default, State, Log;
pid_t Child = -1;
volatile sig_atomic_t Stop = 0;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Waits up to 10 s for what the simulator does in a few milliseconds.
bool WaitFor(bool (*done)()) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void StopSim() {
    if (Child > 0) {
        kill(Child, SIGTERM);
        waitpid(Child, nullptr, 0);
        Child = -1;
    }
    unlink(Link.c_str());
    if (symlink(Default.c_str(), Link.c_str()) != 0) std::perror("sim-control: link");
}

std::string StartSim(const std::string& args) {
    StopSim();
    std::remove(State.c_str());
    std::remove(Log.c_str());
    std::vector<std::string> argv{Sim};
    std::istringstream in(args);
    for (std::string a; in >> a;)
        argv.push_back(a);
    for (const std::string& a :
         {std::string("--link"), Link, std::string("--state"), State, std::string("--log"), Log})
        argv.push_back(a);
    int out[2];
    if (pipe(out) != 0) return "error: pipe";
    Child = fork();
    if (Child == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        std::vector<char*> raw;
        for (std::string& a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        execv(raw[0], raw.data());
        _exit(127);
    }
    close(out[1]);
    // The first line is the terminal's path: by then the link is in place.
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, 10000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(out[0]);
    return c == '\n' ? "ok" : "error: the simulator did not start";
}

std::string Handle(const std::string& request) {
    if (request.rfind("start", 0) == 0) return StartSim(request.substr(5));
    if (request == "stop") {
        StopSim();
        return "ok";
    }
    if (request == "log") return ReadFile(Log);
    if (request == "state" && Child > 0) {
        std::remove(State.c_str());
        kill(Child, SIGUSR1);
        if (!WaitFor([] {
                struct stat s {};
                return stat(State.c_str(), &s) == 0;
            }))
            return "error: no state";
        return ReadFile(State);
    }
    return "error: " + request;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    Sim = argv[1], Link = argv[2], Default = argv[3];
    State = Link + ".state", Log = Link + ".log";
    signal(SIGPIPE, SIG_IGN);
    struct sigaction term {};
    term.sa_handler = [](int) { Stop = 1; }; // no restart: a waiting accept ends
    sigaction(SIGTERM, &term, nullptr);
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 1;
    std::printf("%d\n", ntohs(address.sin_port));
    std::fflush(stdout);
    while (!Stop) {
        const int client = accept(listener, nullptr, nullptr);
        if (client < 0) continue;
        std::string request;
        char c = 0;
        while (read(client, &c, 1) == 1 && c != '\n')
            request += c;
        const std::string answer = Handle(request) + '\0';
        for (std::size_t done = 0; done < answer.size();) {
            const ssize_t n = write(client, answer.data() + done, answer.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(client);
    }
    StopSim();
    return 0;
}
