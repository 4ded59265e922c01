#include "Transcript.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

namespace {

std::string Timestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}

// Control characters and bytes above 126 as \xNN, so line noise stays visible.
std::string Visible(const std::string& s) {
    std::string out;
    for (unsigned char c : s) {
        if (c >= 32 && c < 127) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

} // namespace

TTranscript::~TTranscript() {
    FlushPartial();
    if (File) std::fclose(File);
}

bool TTranscript::Open(const std::string& path, std::string& error) {
    File = std::fopen(path.c_str(), "a");
    if (!File) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    Path = path;
    return true;
}

void TTranscript::Line(char direction, const std::string& text) {
    if (!File) return;
    errno = 0;
    const bool written =
        std::fprintf(File, "%s %c %s\n", Timestamp().c_str(), direction, text.c_str()) >= 0;
    // A run that is cut short keeps what went before.
    if ((std::fflush(File) != 0 || !written) && Lost.empty())
        Lost = Path + ": " + std::strerror(errno ? errno : EIO);
}

void TTranscript::Note(const std::string& text) {
    Line('#', text);
}

void TTranscript::Sent(const std::string& text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    Line('>', Visible(line));
}

void TTranscript::Received(char c) {
    if (c != '\n') {
        Pending.push_back(c);
        return;
    }
    if (!Pending.empty() && Pending.back() == '\r') Pending.pop_back();
    Line('<', Visible(Pending));
    Pending.clear();
}

void TTranscript::FlushPartial() {
    if (Pending.empty()) return;
    Line('<', Visible(Pending) + " (no line end)");
    Pending.clear();
}
