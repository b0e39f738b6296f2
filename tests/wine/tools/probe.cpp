// Looks at and pokes windows for the end-to-end tests.
//   probe.exe wait-window CLASS MS       exit 0 once a window of CLASS exists
//   probe.exe wait-gone CLASS MS         exit 0 once none exists
//   probe.exe wait-visible CLASS MS      exit 0 once it is visible
//   probe.exe info CLASS                 prints visible, iconic, toolwindow, appwindow, owner, title
//   probe.exe rect CLASS                 prints the window's screen rectangle: left top right bottom
//   probe.exe count CLASS                prints the number of top-level windows of CLASS
//   probe.exe post CLASS MSG W L         PostMessageW (MSG a number or a registered message's name)
//   probe.exe send CLASS MSG W L         SendMessageTimeoutW (5 s), prints the result
//   probe.exe flood CLASS MSG W L MS     sends MSG again and again for MS ms (each send waits up
//                                        to 2 s), prints how many were delivered
//   probe.exe post-wait-reg CLASS MSG W L KEY NAME VALUE MS
//                                        posts, then waits until the DWORD HKCU\KEY\NAME is
//                                        VALUE; prints how many ms that took (exit 1 after MS)
//   probe.exe show CLASS CMD             ShowWindowAsync with the show command CMD
//   probe.exe redraw CLASS               repaints the window and its children from a fresh background
//   probe.exe hold-mutex NAME MS         creates the mutex NAME that only SYNCHRONIZE may open,
//                                        as one of another integrity level looks, for MS ms
//   probe.exe record FILE ARGS...        appends its arguments to FILE, one line (a stand-in
//                                        program for a shell verb)
//   probe.exe device PIPE                a stand-in mouse: serves the named pipe PIPE and
//                                        sends each hex line of standard input as one
//                                        input report to the newest connection ("unplug"
//                                        drops every connection, "stats" prints
//                                        "connections T live L most M": how many readers
//                                        opened it, how many are open, the most open at once);
//                                        each report's line "sent N at US: BYTES" carries the
//                                        microsecond (QueryPerformanceCounter) it was written
//   probe.exe regbin KEY NAME SIZE OFFSET WORD
//                                        writes HKCU\KEY\NAME: SIZE zero bytes with the
//                                        16-bit WORD at OFFSET
//   probe.exe regbyte KEY NAME OFFSET BYTE
//                                        sets one byte of the binary value HKCU\KEY\NAME
//   probe.exe debug LOG EXE [ARGS...]    runs EXE as its debugger, appends its debugger
//                                        output and a line per exception ("exception CODE
//                                        first-chance|last-chance at ADDRESS") to LOG and
//                                        exits with its exit code; with VXM_DEBUG_STAMPS set
//                                        each line starts with the microsecond it arrived
//   probe.exe exe CLASS                  prints the process id and image path of the window's process
//   probe.exe mutex NAME                 prints 1 when a mutex of that name exists, else 0
//   probe.exe endsession CLASS LPARAM    as Windows ends a session: WM_QUERYENDSESSION, then
//                                        WM_ENDSESSION TRUE; prints both answers and whether
//                                        the mutex "TVXMMONMAIN" was still there when the
//                                        second one returned
//   probe.exe send-registered CLASS NAME W L
//                                        sends the message registered as NAME, prints the answer
//   probe.exe send-registered-first CLASS NAME W L MS
//                                        waits up to MS for a window of CLASS, looking every
//                                        millisecond, and sends it the message registered as
//                                        NAME the moment it exists, then once more; prints
//                                        both answers (exit 1 when no window came)
//   probe.exe sweep CLASS FROM TO W L    posts every message number FROM..TO
//   probe.exe stubborn CLASS             a window of CLASS that answers everything and never ends
//   probe.exe arrive N GAP               N device arrivals, GAP ms apart, as the system sends them
//                                        to the monitor's notifier window: WM_DEVICECHANGE
//                                        DBT_DEVICEARRIVAL with a HID interface's broadcast
//                                        header in the monitor's own memory; prints how many
//                                        were delivered
//   probe.exe hostile MS                 for MS ms, another process's worst: the monitor's and
//                                        the notifier's messages with extreme, forged and
//                                        garbage values (none that names a button, a profile,
//                                        a valid arrival or an end); prints how many were sent
//   probe.exe run COMMANDLINE            runs the command line as it stands (nothing quoted
//                                        or split), its standard error this one's, waits and
//                                        prints "exit N" with the whole exit code (a Linux
//                                        shell sees only its low byte)
//   probe.exe memstat CLASS              prints "handles H private P" of the window's process
//                                        (GetProcessHandleCount, else the system's handle list;
//                                        PrivateUsage in bytes, which Wine leaves 0)
//   probe.exe idle LOG                   a trivial program idling in GetMessage with a hidden
//                                        window of class "VXMIDLE" (the benchmarks' baseline);
//                                        with LOG it first says "ready" on its debugger output
#include <windows.h>
#include <dbt.h>
#include <psapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

long long NowUs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<long long>(now.QuadPart / frequency.QuadPart * 1000000 +
                                  now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart);
}

struct Count {
    const wchar_t* cls;
    int n;
};

BOOL CALLBACK CountProc(HWND hwnd, LPARAM lp) {
    auto* c = reinterpret_cast<Count*>(lp);
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    if (std::wcscmp(name, c->cls) == 0) ++c->n;
    return TRUE;
}

bool WaitFor(const wchar_t* cls, int ms, bool (*pred)(HWND)) {
    for (int waited = 0;; waited += 50) {
        if (pred(FindWindowW(cls, nullptr))) return true;
        if (waited >= ms) return false;
        Sleep(50);
    }
}

int RunUnderDebugger(const wchar_t* logPath, const wchar_t* exe, int argc, wchar_t** argv) {
    std::wstring cmdline = std::wstring(L"\"") + exe + L"\"";
    for (int i = 0; i < argc; ++i) cmdline += std::wstring(L" ") + argv[i];
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, cmdline.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &si,
                        &pi)) {
        std::printf("cannot start the program: %lu\n", GetLastError());
        return 101;
    }
    DWORD exitCode = 102;
    const bool stamped = _wgetenv(L"VXM_DEBUG_STAMPS") != nullptr;
    for (;;) {
        DEBUG_EVENT ev{};
        if (!WaitForDebugEvent(&ev, INFINITE)) break;
        DWORD status = DBG_CONTINUE;
        if (ev.dwDebugEventCode == OUTPUT_DEBUG_STRING_EVENT) {
            // Written as UTF-8: wide strings are converted, narrow ones (the
            // monitor writes UTF-8) are kept byte for byte.
            const auto& o = ev.u.DebugString;
            std::string text;
            if (o.fUnicode) {
                std::wstring buf(o.nDebugStringLength, L'\0');
                ReadProcessMemory(pi.hProcess, o.lpDebugStringData, buf.data(), buf.size() * sizeof(wchar_t), nullptr);
                const std::wstring w = buf.c_str();
                text.resize(w.size() * 4 + 1);
                const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), text.data(),
                                                  static_cast<int>(text.size()), nullptr, nullptr);
                text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
            } else {
                std::string buf(o.nDebugStringLength, '\0');
                ReadProcessMemory(pi.hProcess, o.lpDebugStringData, buf.data(), buf.size(), nullptr);
                text = buf.c_str();
            }
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            // For the benchmarks: when each line arrived, on the clock the stand-in device stamps its reports with.
            if (stamped) text = std::to_string(NowUs()) + " " + text;
            if (FILE* f = _wfopen(logPath, L"ab")) {
                std::fputs((text + "\n").c_str(), f);
                std::fclose(f);
            }
        } else if (ev.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
            // Breakpoints of the loader are ours to swallow; real faults go back to the program.
            const auto& record = ev.u.Exception.ExceptionRecord;
            status = record.ExceptionCode == EXCEPTION_BREAKPOINT ? DBG_CONTINUE : DBG_EXCEPTION_NOT_HANDLED;
            if (record.ExceptionCode != EXCEPTION_BREAKPOINT) {
                char line[160];
                std::snprintf(line, sizeof(line), "exception 0x%08lX %s at %p\n",
                              static_cast<unsigned long>(record.ExceptionCode),
                              ev.u.Exception.dwFirstChance ? "first-chance" : "last-chance", record.ExceptionAddress);
                if (FILE* f = _wfopen(logPath, L"ab")) {
                    std::fputs(line, f);
                    std::fclose(f);
                }
            }
        } else if (ev.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
            if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
        } else if (ev.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
            if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
        } else if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
            exitCode = ev.u.ExitProcess.dwExitCode;
            ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
            break;
        }
        ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, status);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(exitCode);
}

HANDLE g_client = INVALID_HANDLE_VALUE;
std::vector<HANDLE> g_open;  // every connection not yet seen closed by its reader, g_client the newest
int g_connections = 0, g_mostOpen = 0;
CRITICAL_SECTION g_lock;

// A reader that closed its end leaves the pipe broken; one still open only has no data to give.
bool ReaderGone(HANDLE h) {
    DWORD available = 0;
    return !PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr) && GetLastError() != ERROR_MORE_DATA;
}

void PrintStats() {
    std::printf("connections %d live %d most %d\n", g_connections, static_cast<int>(g_open.size()), g_mostOpen);
    std::fflush(stdout);
}

// Each read thread of the monitor opens the pipe anew: keep an instance listening,
// and count the readers that have it open at the same time.
DWORD WINAPI Listen(LPVOID param) {
    const wchar_t* name = static_cast<const wchar_t*>(param);
    for (;;) {
        HANDLE h = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                    PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return 1;
        if (!ConnectNamedPipe(h, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            CloseHandle(h);
            continue;
        }
        EnterCriticalSection(&g_lock);
        for (auto it = g_open.begin(); it != g_open.end();) {
            if (ReaderGone(*it)) {
                CloseHandle(*it);
                it = g_open.erase(it);
            } else {
                ++it;
            }
        }
        g_open.push_back(h);
        g_client = h;
        ++g_connections;
        g_mostOpen = std::max(g_mostOpen, static_cast<int>(g_open.size()));
        std::printf("connected %d live %d\n", g_connections, static_cast<int>(g_open.size()));
        std::fflush(stdout);
        LeaveCriticalSection(&g_lock);
    }
}

int ServeDevice(const wchar_t* name) {
    InitializeCriticalSection(&g_lock);
    CreateThread(nullptr, 0, Listen, const_cast<wchar_t*>(name), 0, nullptr);
    char line[1024];
    while (std::fgets(line, sizeof(line), stdin)) {
        if (std::strncmp(line, "unplug", 6) == 0) {
            EnterCriticalSection(&g_lock);
            for (HANDLE h : g_open) CloseHandle(h);
            g_open.clear();
            g_client = INVALID_HANDLE_VALUE;
            LeaveCriticalSection(&g_lock);
            continue;
        }
        if (std::strncmp(line, "stats", 5) == 0) {
            EnterCriticalSection(&g_lock);
            PrintStats();
            LeaveCriticalSection(&g_lock);
            continue;
        }
        unsigned char report[256];
        int n = 0;
        for (char* p = line; *p && n < 256;) {
            char* end = nullptr;
            const unsigned long v = std::strtoul(p, &end, 16);
            if (end == p) break;
            report[n++] = static_cast<unsigned char>(v);
            p = end;
        }
        if (n == 0) continue;
        EnterCriticalSection(&g_lock);
        DWORD written = 0;
        const long long at = NowUs();
        const BOOL ok = g_client != INVALID_HANDLE_VALUE && WriteFile(g_client, report, n, &written, nullptr);
        LeaveCriticalSection(&g_lock);
        std::printf(ok ? "sent %d at %lld:" : "not sent %d at %lld:", n, at);
        for (int i = 0; i < n; ++i) std::printf(" %02X", report[i]);
        std::printf("\n");
        std::fflush(stdout);
    }
    EnterCriticalSection(&g_lock);
    PrintStats();
    LeaveCriticalSection(&g_lock);
    return 0;
}

int WriteBinaryValue(const wchar_t* key, const wchar_t* name, DWORD size, DWORD offset, WORD word) {
    std::string data(size, '\0');
    if (offset + 2 <= size) std::memcpy(&data[offset], &word, 2);
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS) return 1;
    const LONG rc = RegSetValueExW(h, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()), size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS ? 0 : 1;
}

int SetBinaryByte(const wchar_t* key, const wchar_t* name, DWORD offset, BYTE value) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ | KEY_WRITE, &h) != ERROR_SUCCESS) return 1;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(h, name, nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    if (rc == ERROR_SUCCESS) rc = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc == ERROR_SUCCESS && offset < size) {
        data[offset] = static_cast<char>(value);
        rc = RegSetValueExW(h, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), size);
    } else if (rc == ERROR_SUCCESS) {
        rc = ERROR_INVALID_PARAMETER;
    }
    RegCloseKey(h);
    return rc == ERROR_SUCCESS ? 0 : 1;
}

unsigned long long Num(const wchar_t* s) { return std::wcstoull(s, nullptr, 0); }

// A number, or the name of a registered message ("TaskbarCreated").
UINT Message(const wchar_t* s) {
    wchar_t* end = nullptr;
    const unsigned long long v = std::wcstoull(s, &end, 0);
    return end && *end == 0 && end != s ? static_cast<UINT>(v) : RegisterWindowMessageW(s);
}

int HoldMutex(const wchar_t* name, DWORD ms) {
    // Everyone may wait on it and nothing more, so an open for all access is refused.
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)", SDDL_REVISION_1, &sd,
                                                              nullptr)) {
        return 1;
    }
    SECURITY_ATTRIBUTES sa{sizeof(sa), sd, FALSE};
    HANDLE h = CreateMutexW(&sa, TRUE, name);
    LocalFree(sd);
    if (!h) return 1;
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(ms);
    CloseHandle(h);
    return 0;
}

int PostAndWaitForDword(HWND h, UINT msg, WPARAM w, LPARAM l, const wchar_t* key, const wchar_t* name,
                        DWORD value, DWORD ms) {
    const DWORD start = GetTickCount();
    if (!PostMessageW(h, msg, w, l)) return 1;
    for (;;) {
        DWORD data = 0, size = sizeof(data);
        const DWORD elapsed = GetTickCount() - start;
        if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &data, &size) == ERROR_SUCCESS &&
            data == value) {
            std::printf("%lu\n", static_cast<unsigned long>(elapsed));
            return 0;
        }
        if (elapsed >= ms) {
            std::printf("%lu\n", static_cast<unsigned long>(elapsed));
            return 1;
        }
        Sleep(5);
    }
}

int Flood(HWND h, UINT msg, WPARAM w, LPARAM l, DWORD ms) {
    const DWORD start = GetTickCount();
    int delivered = 0;
    while (GetTickCount() - start < ms && IsWindow(h)) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(h, msg, w, l, SMTO_NORMAL, 2000, &result)) ++delivered;
    }
    std::printf("%d\n", delivered);
    return 0;
}

bool MutexExists(const wchar_t* name) {
    HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, name);
    if (!h) return false;
    CloseHandle(h);
    return true;
}

int Stubborn(const wchar_t* cls) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_CLOSE || msg == WM_ENDSESSION) return 0;
        return DefWindowProcW(hwnd, msg, w, l);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassW(&wc);
    CreateWindowExW(WS_EX_TOOLWINDOW, cls, L"stubborn", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

// The process of a window, opened for `access`; null when it is gone.
HANDLE OpenWindowProcess(HWND h, DWORD access) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    return pid ? OpenProcess(access, FALSE, pid) : nullptr;
}

// Memory the monitor can read at the address the sender used: the same
// block is committed at the same address in both processes, so the header
// arrives whether or not the system copies the message's data across.
struct SharedBlock {
    SharedBlock(HANDLE process, SIZE_T size) : process_(process), size_(size) {
        for (int tries = 0; tries < 64 && !address; ++tries) {
            void* theirs = VirtualAllocEx(process, nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
            if (!theirs) {
                std::printf("VirtualAllocEx: %lu\n", GetLastError());
                return;
            }
            if (VirtualAlloc(theirs, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE) == theirs) {
                address = theirs;
            } else {
                // Taken here: keep that one there so the next try lands elsewhere.
                spare_.push_back(theirs);
            }
        }
    }
    ~SharedBlock() {
        if (address) {
            VirtualFreeEx(process_, address, 0, MEM_RELEASE);
            VirtualFree(address, 0, MEM_RELEASE);
        }
        for (void* p : spare_) VirtualFreeEx(process_, p, 0, MEM_RELEASE);
    }
    bool Write(const void* data, SIZE_T size) {
        if (!address || size > size_) return false;
        std::memcpy(address, data, size);
        SIZE_T written = 0;
        return WriteProcessMemory(process_, address, data, size, &written) && written == size;
    }
    void* address = nullptr;

private:
    HANDLE process_;
    SIZE_T size_;
    std::vector<void*> spare_;
};

constexpr GUID kHidInterfaceClass = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

int Arrive(int count, DWORD gapMs) {
    HWND h = FindWindowW(L"TuiHIDEventWindow", nullptr);
    if (!h) {
        std::printf("no notifier window\n");
        return 1;
    }
    HANDLE process = OpenWindowProcess(h, PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION);
    if (!process) {
        std::printf("cannot open the monitor's process: %lu\n", GetLastError());
        return 1;
    }
    const wchar_t name[] = L"\\\\?\\HID#VID_5A52&PID_4D01&MI_01#7&1&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const SIZE_T size = sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + sizeof(name);
    std::vector<unsigned char> data(size, 0);
    auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data.data());
    header->dbcc_size = static_cast<DWORD>(size);
    header->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header->dbcc_classguid = kHidInterfaceClass;
    std::memcpy(header->dbcc_name, name, sizeof(name));
    SharedBlock block(process, 4096);
    int delivered = 0;
    if (block.Write(data.data(), size)) {
        for (int i = 0; i < count && IsWindow(h); ++i) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutW(h, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(block.address),
                                    SMTO_NORMAL, 5000, &result)) {
                ++delivered;
            }
            if (gapMs) Sleep(gapMs);
        }
    } else {
        std::printf("cannot place the header in the monitor's memory\n");
    }
    CloseHandle(process);
    std::printf("%d\n", delivered);
    return delivered == count ? 0 : 1;
}

// Values at the edges of WPARAM and LPARAM, and just past the ranges the
// monitor accepts.
const unsigned long long kExtremes[] = {0x7FFFFFFFull,         0x80000000ull,         0xFFFFFFFFull,
                                        0x100000000ull,        0x10000000Aull,        0x100000015ull,
                                        0x7FFFFFFFFFFFFFFFull, 0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull,
                                        0xFFFFFFFFFFFFFF00ull, 256,                   19,
                                        20,                    26,                    0xFFFF};
// Pointers that lead nowhere in the monitor: null page, kernel half, unaligned, non-canonical.
const unsigned long long kGarbagePointers[] = {1, 0x10, 0xFFFF, 0xDEADBEEF, 0x7FFFFFFEFFFF, 0x7FFFFFFFFFFF,
                                               0x800000000000, 0xFFFF800000000000ull, 0xFFFFFFFFFFFFFFFFull,
                                               0x8000000000000000ull, 0x123456789ABCDEF1ull};

int Hostile(DWORD ms) {
    const DWORD start = GetTickCount();
    long long sent = 0;
    const UINT endRequest = RegisterWindowMessageW(L"VXMMON.EndRequest.{6F1D2A57-93C4-4B8E-A0D2-5C7E91B3F048}");
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    auto post = [&](HWND h, UINT msg, unsigned long long w, unsigned long long l) {
        // A full queue is the monitor's to cope with; the hostile process just tries again later.
        if (PostMessageW(h, msg, static_cast<WPARAM>(w), static_cast<LPARAM>(l))) ++sent;
    };
    auto sendTo = [&](HWND h, UINT msg, unsigned long long w, unsigned long long l) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(h, msg, static_cast<WPARAM>(w), static_cast<LPARAM>(l), SMTO_ABORTIFHUNG, 2000,
                                &result)) {
            ++sent;
        }
    };
    unsigned round = 0;
    while (GetTickCount() - start < ms) {
        HWND monitor = FindWindowW(L"TVXMMONMAIN", nullptr);
        HWND notifier = FindWindowW(L"TuiHIDEventWindow", nullptr);
        if (!monitor) break;
        ++round;
        // 7524 with every pair of extremes, none a button 0 to 18 with a state 0 to 255, nor a profile 21 to 25.
        for (unsigned long long w : kExtremes) {
            for (unsigned long long l : kExtremes) post(monitor, 7524, w, l);
            post(monitor, 7524, w, static_cast<unsigned long long>(-1LL));
            post(monitor, 7524, w, 0x8000000000000000ull);
        }
        for (unsigned long long w = 0; w <= 18; ++w) {
            post(monitor, 7524, w, static_cast<unsigned long long>(-1LL));
            post(monitor, 7524, w, 256);
            post(monitor, 7524, w, 0x8000000000000000ull);
            post(monitor, 7524, w, 0x100000001ull);
        }
        // 7035 reloads everything: one per round, with an lParam that names no profile.
        const unsigned long long reloads[] = {0x100000003ull, 0x8000000000000000ull, 0x7FFFFFFFFFFFFFFFull,
                                              0xFFFFFFFFull,  0x80000000ull,         5ull,
                                              static_cast<unsigned long long>(-1LL)};
        post(monitor, 7035, kExtremes[round % 15], reloads[round % 7]);
        post(monitor, 7037, 0xFFFFFFFFFFFFFFFFull, 0x8000000000000000ull);
        // The tray callback: forged identifiers and events, never a right click or a context menu.
        for (unsigned long long l : {0x0ull, 0xFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 0x10200ull, 0x20200ull,
                                     0xFFFF0200ull, 0x10000000200ull, 0x200ull, 0x201ull, 0x1FFFFull}) {
            post(monitor, WM_APP + 1, 0xFFFFFFFFFFFFFFFFull, l);
            post(monitor, WM_APP + 1, 1, l);
        }
        // The main-thread hand-over with numbers that name no waiting call, or one that may be waiting.
        for (unsigned long long l : {0x0ull, 0x1ull, 0x2ull, 0x7FFFFFFFull, 0xFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull,
                                     0x8000000000000000ull, 0xDEADBEEFull, static_cast<unsigned long long>(round)}) {
            post(monitor, WM_APP + 2, 0xFFFFFFFFFFFFFFFFull, l);
        }
        // Clicks on the hidden About page, on its buttons and far outside.
        for (unsigned long long l : {0x0ull, 0x01220050ull, 0x01590110ull, 0xFFFFFFFFull, 0x80008000ull,
                                     0xFFFFFFFFFFFFFFFFull, 0x7FFF7FFFull}) {
            post(monitor, WM_LBUTTONUP, 0xFFFFFFFFFFFFFFFFull, l);
        }
        // Timers that were never set, a scale change to nothing and to everything, and others.
        for (unsigned long long w : {0x0ull, 0x7FFFFFFFull, 0xFFFFFFFFFFFFFFFFull, 0xDEADBEEFull}) {
            post(monitor, WM_TIMER, w, 0xFFFFFFFFFFFFFFFFull);
        }
        for (unsigned long long w : {0x0ull, 0xFFFFFFFFull, 0x00010001ull, 0xFFFFFFFFFFFFFFFFull}) {
            post(monitor, 0x02E0 /* WM_DPICHANGED */, w, 0);
        }
        post(monitor, WM_SETTINGCHANGE, 0xFFFFFFFFFFFFFFFFull, 0);
        post(monitor, WM_DISPLAYCHANGE, 0xFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull);
        post(monitor, WM_CLOSE, 0, 0);
        if (round % 8 == 1) post(monitor, taskbarCreated, 0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull);
        // The end request with every check value but the right one, and to the wrong window.
        for (unsigned long long w : {0x0ull, 0xFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull}) {
            if (endRequest) sendTo(monitor, endRequest, w, 0xFFFFFFFFFFFFFFFFull);
        }
        if (notifier) {
            // Device changes whose header is nowhere (a system that copies
            // the header across refuses them on this side), and headers of
            // this process with the wrong type or size (a system that does
            // not copy hands the monitor an address of another process).
            for (unsigned long long p : kGarbagePointers) {
                sendTo(notifier, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, p);
                sendTo(notifier, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, p);
                post(notifier, WM_DEVICECHANGE, 0xFFFFFFFFFFFFFFFFull, p);
            }
            for (DWORD type : {0u, 1u, 2u, 3u, 4u, 6u, 0xFFFFFFFFu}) {
                DEV_BROADCAST_HDR header{sizeof(DEV_BROADCAST_HDR), type, 0xFFFFFFFFu};
                sendTo(notifier, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<ULONG_PTR>(&header));
                header.dbch_size = 8;
                sendTo(notifier, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<ULONG_PTR>(&header));
            }
            DEV_BROADCAST_HDR removal{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_DEVICEINTERFACE, 0};
            sendTo(notifier, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, reinterpret_cast<ULONG_PTR>(&removal));
            post(notifier, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0xFFFFFFFFFFFFFFFFull);
            post(notifier, 7524, 10, 1);
            post(notifier, WM_TIMER, 0xFFFFFFFFFFFFFFFFull, 0xFFFFFFFFFFFFFFFFull);
        }
        // Extreme values, not a flood: the queue empties between rounds, so
        // the monitor's timers still come (a full queue holds them back).
        Sleep(250);
    }
    std::printf("%lld\n", sent);
    return 0;
}

// The handles a process holds, from the system's list of all handles (Wine
// answers GetProcessHandleCount with 0); -1 when the list is not to be had.
long long HandlesOf(DWORD pid) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return -1;
    struct Entry {
        PVOID object;
        ULONG_PTR process;
        ULONG_PTR handle;
        ULONG access;
        USHORT creatorBackTrace;
        USHORT type;
        ULONG attributes;
        ULONG reserved;
    };
    std::vector<unsigned char> buffer(1 << 20);
    for (int tries = 0; tries < 8; ++tries) {
        ULONG needed = 0;
        const LONG status = query(64 /* SystemExtendedHandleInformation */, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            ULONG_PTR count = 0;
            std::memcpy(&count, buffer.data(), sizeof(count));
            const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
            long long mine = 0;
            for (ULONG_PTR i = 0; i < count; ++i) mine += entries[i].process == pid;
            return mine;
        }
        if (status != static_cast<LONG>(0xC0000004) /* STATUS_INFO_LENGTH_MISMATCH */) return -1;
        buffer.resize(std::max<std::size_t>(buffer.size() * 2, needed + 65536));
    }
    return -1;
}

int MemoryStats(HWND h) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return 1;
    DWORD handles = 0;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    GetProcessHandleCount(process, &handles);
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
    CloseHandle(process);
    // Where the system gives no count of its own (Wine), the list's.
    const long long listed = handles ? static_cast<long long>(handles) : HandlesOf(pid);
    std::printf("handles %lld private %llu\n", listed, static_cast<unsigned long long>(counters.PrivateUsage));
    return 0;
}

// As an installer that asks a monitor which has only just made its window.
int SendRegisteredFirst(const wchar_t* cls, const wchar_t* name, WPARAM w, LPARAM l, DWORD ms) {
    const UINT msg = RegisterWindowMessageW(name);
    const DWORD start = GetTickCount();
    HWND h = nullptr;
    while (!(h = FindWindowW(cls, nullptr))) {
        if (GetTickCount() - start >= ms) return 1;
        Sleep(1);
    }
    for (int i = 0; i < 2; ++i) {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(h, msg, w, l, SMTO_ABORTIFHUNG, 5000, &result);
        std::printf(i ? " %llu\n" : "%llu", static_cast<unsigned long long>(result));
    }
    return 0;
}

int Idle(const wchar_t* log) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VXMIDLE";
    RegisterClassW(&wc);
    CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"idle", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                    wc.hInstance, nullptr);
    if (log && *log) OutputDebugStringA("ready\n");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

int RunCommandLine(const wchar_t* commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("cannot start: %lu\n", GetLastError());
        return 1;
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    std::printf("exit %lu\n", code);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring cmd = argv[1];
    if (cmd == L"debug" && argc > 3) return RunUnderDebugger(argv[2], argv[3], argc - 4, argv + 4);
    if (cmd == L"run") return RunCommandLine(argv[2]);
    if (cmd == L"mutex") {
        std::printf("%d\n", MutexExists(argv[2]) ? 1 : 0);
        return 0;
    }
    if (cmd == L"stubborn") return Stubborn(argv[2]);
    if (cmd == L"arrive" && argc > 3) return Arrive(_wtoi(argv[2]), static_cast<DWORD>(Num(argv[3])));
    if (cmd == L"hostile") return Hostile(static_cast<DWORD>(Num(argv[2])));
    if (cmd == L"idle") return Idle(argv[2]);
    if (cmd == L"device") return ServeDevice(argv[2]);
    if (cmd == L"hold-mutex" && argc > 3) return HoldMutex(argv[2], static_cast<DWORD>(Num(argv[3])));
    if (cmd == L"record") {
        FILE* f = _wfopen(argv[2], L"a");
        if (!f) return 1;
        for (int i = 3; i < argc; ++i) std::fwprintf(f, i == 3 ? L"%ls" : L" %ls", argv[i]);
        std::fputwc(L'\n', f);
        std::fclose(f);
        return 0;
    }
    if (cmd == L"regbyte" && argc > 5) {
        return SetBinaryByte(argv[2], argv[3], static_cast<DWORD>(Num(argv[4])), static_cast<BYTE>(Num(argv[5])));
    }
    if (cmd == L"regbin" && argc > 6) {
        return WriteBinaryValue(argv[2], argv[3], static_cast<DWORD>(Num(argv[4])), static_cast<DWORD>(Num(argv[5])),
                                static_cast<WORD>(Num(argv[6])));
    }
    const wchar_t* cls = argv[2];
    if (cmd == L"send-registered-first" && argc > 6) {
        return SendRegisteredFirst(cls, argv[3], static_cast<WPARAM>(Num(argv[4])), static_cast<LPARAM>(Num(argv[5])),
                                   static_cast<DWORD>(Num(argv[6])));
    }
    if (cmd == L"wait-window" && argc > 3) return WaitFor(cls, _wtoi(argv[3]), [](HWND h) { return h != nullptr; }) ? 0 : 1;
    if (cmd == L"wait-gone" && argc > 3) return WaitFor(cls, _wtoi(argv[3]), [](HWND h) { return h == nullptr; }) ? 0 : 1;
    if (cmd == L"wait-visible" && argc > 3) {
        return WaitFor(cls, _wtoi(argv[3]), [](HWND h) { return h && IsWindowVisible(h); }) ? 0 : 1;
    }
    if (cmd == L"count") {
        Count c{cls, 0};
        EnumWindows(CountProc, reinterpret_cast<LPARAM>(&c));
        std::printf("%d\n", c.n);
        return 0;
    }
    HWND h = FindWindowW(cls, nullptr);
    if (!h) {
        std::printf("no window of that class\n");
        return 1;
    }
    if (cmd == L"info") {
        const LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
        wchar_t title[256] = {};
        GetWindowTextW(h, title, 256);
        std::printf("visible=%d iconic=%d toolwindow=%d appwindow=%d owner=%d title=%ls\n",
                    IsWindowVisible(h) ? 1 : 0, IsIconic(h) ? 1 : 0, (ex & WS_EX_TOOLWINDOW) ? 1 : 0,
                    (ex & WS_EX_APPWINDOW) ? 1 : 0, GetWindow(h, GW_OWNER) ? 1 : 0, title);
        return 0;
    }
    if (cmd == L"rect") {
        RECT r{};
        GetWindowRect(h, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
        return 0;
    }
    if (cmd == L"post-wait-reg" && argc > 9) {
        return PostAndWaitForDword(h, Message(argv[3]), static_cast<WPARAM>(Num(argv[4])),
                                   static_cast<LPARAM>(Num(argv[5])), argv[6], argv[7],
                                   static_cast<DWORD>(Num(argv[8])), static_cast<DWORD>(Num(argv[9])));
    }
    if (cmd == L"show" && argc > 3) return ShowWindowAsync(h, static_cast<int>(Num(argv[3]))) ? 0 : 1;
    if (cmd == L"redraw") {
        return RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN) ? 0 : 1;
    }
    if (cmd == L"flood" && argc > 6) {
        return Flood(h, Message(argv[3]), static_cast<WPARAM>(Num(argv[4])), static_cast<LPARAM>(Num(argv[5])),
                     static_cast<DWORD>(Num(argv[6])));
    }
    if (cmd == L"memstat") return MemoryStats(h);
    if (cmd == L"exe") {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        wchar_t path[MAX_PATH] = {};
        DWORD size = MAX_PATH;
        HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (p) {
            QueryFullProcessImageNameW(p, 0, path, &size);
            CloseHandle(p);
        }
        std::printf("%lu %ls\n", pid, path);
        return 0;
    }
    if (cmd == L"endsession" && argc > 3) {
        const LPARAM l = static_cast<LPARAM>(Num(argv[3]));
        DWORD_PTR query = 0, end = 0;
        const LRESULT q = SendMessageTimeoutW(h, WM_QUERYENDSESSION, 0, l, SMTO_ABORTIFHUNG, 5000, &query);
        const LRESULT e = SendMessageTimeoutW(h, WM_ENDSESSION, TRUE, l, SMTO_ABORTIFHUNG, 5000, &end);
        const bool mutex = MutexExists(L"TVXMMONMAIN");
        std::printf("query=%llu end=%llu answered=%d mutex=%d\n", static_cast<unsigned long long>(query),
                    static_cast<unsigned long long>(end), (q && e) ? 1 : 0, mutex ? 1 : 0);
        return 0;
    }
    if (cmd == L"send-registered" && argc > 5) {
        const UINT msg = RegisterWindowMessageW(argv[3]);
        DWORD_PTR result = 0;
        const LRESULT ok = SendMessageTimeoutW(h, msg, static_cast<WPARAM>(Num(argv[4])),
                                               static_cast<LPARAM>(Num(argv[5])), SMTO_ABORTIFHUNG, 5000, &result);
        std::printf("%llu\n", static_cast<unsigned long long>(result));
        return ok ? 0 : 1;
    }
    if (cmd == L"sweep" && argc > 6) {
        const UINT from = static_cast<UINT>(Num(argv[3])), to = static_cast<UINT>(Num(argv[4]));
        int posted = 0;
        for (UINT m = from; m <= to; ++m) {
            // The queue holds 10000 messages: let the window catch up.
            while (!PostMessageW(h, m, static_cast<WPARAM>(Num(argv[5])), static_cast<LPARAM>(Num(argv[6])))) {
                if (!IsWindow(h)) return 1;
                Sleep(10);
            }
            ++posted;
        }
        std::printf("posted %d\n", posted);
        return 0;
    }
    if ((cmd == L"post" || cmd == L"send") && argc > 5) {
        const UINT msg = Message(argv[3]);
        const WPARAM w = static_cast<WPARAM>(Num(argv[4]));
        const LPARAM l = static_cast<LPARAM>(Num(argv[5]));
        if (cmd == L"post") return PostMessageW(h, msg, w, l) ? 0 : 1;
        DWORD_PTR result = 0;
        const LRESULT ok = SendMessageTimeoutW(h, msg, w, l, SMTO_ABORTIFHUNG, 5000, &result);
        std::printf("%llu\n", static_cast<unsigned long long>(result));
        return ok ? 0 : 1;
    }
    return 2;
}
