// orvix-ups.exe as Windows runs it, under Wine: COM1 and COM2 are
// pseudo-terminals (scripts/wine-env), and sim-control (tests/e2e/wine) runs
// the Linux orvix-ups-sim on COM1's for the cases that talk to a UPS.
#include "ApdExceptions.h"
#include "ApdResultCodes.h"
#include "OrvixVersion.h"
#include "PortDiagnosis.h"
#include "WineSimControl.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

// orvix-ups.exe is built beside this program.
std::string UpsProgram() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, n);
    return self.substr(0, self.find_last_of("\\/") + 1) + "orvix-ups.exe";
}

// A process that has ended may hold its files a moment longer under Wine.
constexpr DWORD AnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A name of its own for each file: a run's file may still be open in the
// process that has just ended, and cannot be made anew under the same name.
std::string TempFile(const char* name) {
    static int serial = 0;
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + "orvix-wine-cli-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++serial) + "-" + name;
}

// Standard output is in text mode on Windows: lines end in CR LF there.
std::string ReadAndRemove(const std::string& path) {
    std::string text;
    const HANDLE h =
        CreateFileA(path.c_str(), GENERIC_READ, AnyShare, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
        CloseHandle(h);
    }
    DeleteFileA(path.c_str());
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lines += text[i];
    return lines;
}

struct TRun {
    DWORD Exit = 0;
    std::string Out, Err;
};

// Runs orvix-ups.exe with args, its output and errors into files of the test.
TRun RunUps(const std::vector<std::string>& args) {
    std::string command = "\"" + UpsProgram() + "\"";
    for (const auto& a : args)
        command += a.find(' ') == std::string::npos ? " " + a : " \"" + a + "\"";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::string outPath = TempFile("out"), errPath = TempFile("err");
    const auto create = [&](const std::string& path) {
        return CreateFileA(path.c_str(), GENERIC_WRITE, AnyShare, &inherit, CREATE_ALWAYS, 0,
                           nullptr);
    };
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  OPEN_EXISTING, 0, nullptr);
    start.hStdOutput = create(outPath);
    start.hStdError = create(errPath);
    PROCESS_INFORMATION process{};
    TRun run;
    if (start.hStdInput == INVALID_HANDLE_VALUE || start.hStdOutput == INVALID_HANDLE_VALUE ||
        start.hStdError == INVALID_HANDLE_VALUE) {
        run.Err = "the test's files: error " + std::to_string(GetLastError());
        run.Exit = 1000;
    } else if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &start, &process)) {
        run.Err = "CreateProcess: error " + std::to_string(GetLastError());
        run.Exit = 1000;
    } else {
        // Only against a hang: a run ends within seconds.
        if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(process.hProcess, 999);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.Exit);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(start.hStdInput);
    CloseHandle(start.hStdOutput);
    CloseHandle(start.hStdError);
    run.Out = ReadAndRemove(outPath);
    run.Err += ReadAndRemove(errPath);
    return run;
}

// The line of a table that starts with start.
std::string LineOf(const std::string& text, const std::string& start) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end == std::string::npos ? end : end - at);
        if (line.rfind(start, 0) == 0) return line;
        if (end == std::string::npos) break;
        at = end + 1;
    }
    return {};
}

// A port held open the way another program holds it: no sharing.
struct THeldPort {
    explicit THeldPort(const char* path)
        : Handle(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                             nullptr)) {}
    ~THeldPort() {
        if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    }
    HANDLE Handle;
};

class WineCli : public ::testing::Test {
  protected:
    void Start(const std::string& simArgs = "") { ASSERT_EQ(SimControl("start " + simArgs), "ok"); }
    void TearDown() override { SimControl("stop"); }
    static constexpr const char* Defaults =
        "R5 0B40\nR4 06C2\nTD 2\nF% 6\nR31 A108\nR28 1AFF\nR34 8100\nR42 305A\n";
};

TEST_F(WineCli, VersionAndUsage) {
    const struct {
        std::vector<std::string> Args;
        DWORD Exit;
        const char* Out; // the whole output, or its first line with Err
        const char* Err;
    } table[] = {
        {{"--version"}, 0, "orvix-ups " ORVIX_VERSION "\n", ""},
        {{"read"}, 1, "", "orvix-ups: "},
        {{"read", "-p", "COM5"}, 1, "", "orvix-ups: "},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Args[0] + (row.Args.size() > 1 ? " " + row.Args.back() : ""));
        const TRun run = RunUps(row.Args);
        EXPECT_EQ(run.Exit, row.Exit) << run.Err;
        EXPECT_EQ(run.Out, row.Out);
        EXPECT_EQ(run.Err.rfind(row.Err, 0), 0u) << "[" << run.Err << "]" << run.Out;
    }
    // The help names the ports and the interruptions as Windows has them.
    const TRun help = RunUps({"--help"});
    EXPECT_EQ(help.Exit, 0u);
    for (const char* text : {"COM1..COM4, or a device path (\\\\.\\COM12 for COM12)",
                             "stopped by the console's closing,\nCtrl-C, Ctrl-Break."})
        EXPECT_NE(help.Out.find(text), std::string::npos) << text << " in\n" << help.Out;
}

// A console program, its version in the file's properties.
TEST_F(WineCli, TheProgramIsAConsoleProgramWithItsVersion) {
    const std::string program = UpsProgram();
    const HMODULE image = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    const auto* base =
        reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(image) & ~ULONG_PTR(3));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
    FreeLibrary(image);

    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeA(program.c_str(), &ignored));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(
        GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS));
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileVersion",
                               reinterpret_cast<void**>(&text), &size));
    EXPECT_EQ(std::string(text), ORVIX_VERSION);
    // "1.09" in the numbers is 1.9.
    const std::string v = ORVIX_VERSION;
    EXPECT_EQ(version, std::to_string(std::stoi(v)) + "." +
                           std::to_string(std::stoi(v.substr(v.find('.') + 1))));
}

// Wine maps COM1 and COM2 to pseudo-terminals; the machine's own serial
// devices it maps as well appear missing (the test shim refuses their opens).
TEST_F(WineCli, PortsListsTheComPortsWindowsKnows) {
    const TRun table = RunUps({"ports"});
    const TRun json = RunUps({"ports", "--json"});
    ASSERT_EQ(table.Exit, 0u) << table.Err;
    ASSERT_EQ(json.Exit, 0u) << json.Err;
    EXPECT_EQ(LineOf(table.Out, "PORT").substr(0, 12), "PORT  DEVICE") << table.Out;
    for (const char* com : {"COM1", "COM2"}) {
        const std::string line = LineOf(table.Out, com + std::string(" "));
        EXPECT_NE(line.find("\\\\.\\" + std::string(com) + " "), std::string::npos) << table.Out;
        EXPECT_TRUE(line.ends_with("free")) << table.Out;
        // The port's object: its keys are in alphabetical order.
        const std::size_t at = json.Out.find("\"port\": \"" + std::string(com) + "\"");
        ASSERT_NE(at, std::string::npos) << json.Out;
        const std::size_t from = json.Out.rfind('{', at);
        const std::string object = json.Out.substr(from, json.Out.find('}', at) - from);
        for (const char* field : {"\"busy\": false", "\"exists\": true", "\"accessible\": true"})
            EXPECT_NE(object.find(field), std::string::npos) << field << " in " << object;
    }
}

// Wine opens a COM port a second time, so a busy port is shown with the
// reasons the link gives for the system's refusals.
TEST_F(WineCli, APortThatCannotBeOpenedSaysWhy) {
    const TRun missing = RunUps({"read", "-p", "\\\\.\\COM42"});
    EXPECT_EQ(missing.Exit, 2u) << missing.Err;
    EXPECT_NE(
        missing.Err.find("cannot open \\\\.\\COM42: the port does not exist on this computer"),
        std::string::npos)
        << missing.Err;
    const struct {
        int Code; // as the device layer returns it
        const char* Message;
    } table[] = {
        {ecode::AccessDenied,
         "cannot open COM1 (\\\\.\\COM1): it is busy: another program has it open"},
        {ecode::AlreadyOpen, "it is busy: another program has it open"},
        {-ERROR_SHARING_VIOLATION, "it is busy: another program has it open"},
        {ecode::BadId, "the port does not exist on this computer"},
        {ecode::FileNotFound, "the port does not exist on this computer"},
        {-162, "cannot open COM1 (\\\\.\\COM1): General failure"}, // passed on as it is
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Code);
        std::string reason;
        try {
            CheckResult(row.Code);
        } catch (const std::exception& e) {
            reason = e.what();
        }
        const std::string message =
            DescribeOpenFailure("COM1", "\\\\.\\COM1", reason, std::nullopt);
        EXPECT_NE(message.find(row.Message), std::string::npos) << message;
    }
}

TEST_F(WineCli, ReadGetAndDiffAgainstTheUpsOnCom1) {
    Start();
    const std::string saved = TempFile("saved.json");
    const TRun json = RunUps({"read", "-p", "\\\\.\\COM1", "-j"});
    ASSERT_EQ(json.Exit, 0u) << json.Err;
    const HANDLE file =
        CreateFileA(saved.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, json.Out.data(), static_cast<DWORD>(json.Out.size()), &written, nullptr);
    CloseHandle(file);
    EXPECT_NE(json.Out.find("\"port\": \"\\\\\\\\.\\\\COM1\""), std::string::npos) << json.Out;
    EXPECT_NE(json.Out.find("\"shutdown_delay_min\": 2"), std::string::npos) << json.Out;
    const struct {
        std::vector<std::string> Args;
        DWORD Exit;
        std::vector<std::string> Shows; // in the output
    } table[] = {
        {{"read", "-p", "COM1"},
         0,
         {"identification               ORVIX-BQ1l 230V\n", "upper_limit_v                288\n",
          "registers                    R5 0B40  R4 06C2  TD 2  F% 6  R31 A108"}},
        {{"get", "-p", "com1", "upper_limit_v", "shutdown_delay_min"}, 0, {"288\n2\n"}},
        {{"diff", saved, "-p", "COM1"}, 0, {"no setting differs"}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Args[0]);
        const TRun run = RunUps(row.Args);
        EXPECT_EQ(run.Exit, row.Exit) << run.Err;
        for (const auto& s : row.Shows)
            EXPECT_NE((run.Out + run.Err).find(s), std::string::npos) << s << " in\n" << run.Out;
        // Errors go to a file: no progress line.
        EXPECT_EQ(run.Err.find("reading R"), std::string::npos) << run.Err;
    }
    EXPECT_EQ(SimControl("state"), Defaults); // reads change nothing
    DeleteFileA(saved.c_str());
}

TEST_F(WineCli, WritesReachTheUpsOnCom1AndReadBack) {
    const struct {
        const char* Name;
        const char* SimArgs;
        std::vector<std::string> Args;
        DWORD Exit;
        const char* Shows;
        const char* State; // the registers afterwards
    } table[] = {
        {"one setting",
         "",
         {"write", "-p", "COM1", "-r", "230", "-s", "shutdown_delay_min=5", "-s",
          "fault_alarm_delay=false"},
         0,
         "",
         "R5 0B40\nR4 06C2\nTD 5\nF% 6\nR31 A100\nR28 1AFF\nR34 8100\nR42 305A\n"},
        {"factory values",
         "",
         {"factory", "-p", "COM1", "-r", "230"},
         0,
         "",
         "R5 0B40\nR4 06C2\nTD 2\nF% 6\nR31 8101\nR28 1AFF\nR34 8100\nR42 305A\n"},
        {"rejected",
         "--nk R4=",
         {"write", "-p", "COM1", "-r", "230", "-s", "lower_limit_v=184"},
         5,
         "rejected R4= (lower_limit_v)",
         Defaults},
        {"read back differs",
         "--ignore-writes",
         {"write", "-p", "COM1", "-r", "230", "-s", "shutdown_delay_min=5"},
         6,
         "shutdown_delay_min: wrote 5, read back 2",
         Defaults},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.Name);
        Start(row.SimArgs);
        const TRun run = RunUps(row.Args);
        EXPECT_EQ(run.Exit, row.Exit) << run.Err;
        EXPECT_NE((run.Out + run.Err).find(row.Shows), std::string::npos) << run.Out << run.Err;
        EXPECT_EQ(SimControl("state"), row.State);
    }
}

// The port is still there (Windows still names it): a silent line is no reply.
TEST_F(WineCli, ASilentUpsIsNoReplyOnAPortThatIsStillThere) {
    Start("--silent");
    const TRun run = RunUps({"read", "-p", "COM1", "--reply-wait", "200"});
    EXPECT_EQ(run.Exit, 3u) << run.Err;
    EXPECT_NE(run.Err.find("no reply from the UPS on COM1 (\\\\.\\COM1)"), std::string::npos)
        << run.Err;
}

} // namespace
