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
//                                        input report ("unplug" drops the connection)
//   probe.exe regbin KEY NAME SIZE OFFSET WORD
//                                        writes HKCU\KEY\NAME: SIZE zero bytes with the
//                                        16-bit WORD at OFFSET
//   probe.exe regbyte KEY NAME OFFSET BYTE
//                                        sets one byte of the binary value HKCU\KEY\NAME
//   probe.exe debug LOG EXE              runs EXE as its debugger, appends its debugger
//                                        output and a line per exception ("exception CODE
//                                        first-chance|last-chance at ADDRESS") to LOG and
//                                        exits with its exit code
//   probe.exe exe CLASS                  prints the process id and image path of the window's process
//   probe.exe mutex NAME                 prints 1 when a mutex of that name exists, else 0
//   probe.exe endsession CLASS LPARAM    as Windows ends a session: WM_QUERYENDSESSION, then
//                                        WM_ENDSESSION TRUE; prints both answers and whether
//                                        the mutex "TVXMMONMAIN" was still there when the
//                                        second one returned
//   probe.exe send-registered CLASS NAME W L
//                                        sends the message registered as NAME, prints the answer
//   probe.exe sweep CLASS FROM TO W L    posts every message number FROM..TO
//   probe.exe stubborn CLASS             a window of CLASS that answers everything and never ends
#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

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

int RunUnderDebugger(const wchar_t* logPath, const wchar_t* exe) {
    std::wstring cmdline = std::wstring(L"\"") + exe + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe, cmdline.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &si,
                        &pi)) {
        std::printf("cannot start the program: %lu\n", GetLastError());
        return 101;
    }
    DWORD exitCode = 102;
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
CRITICAL_SECTION g_lock;

// Each read thread of the monitor opens the pipe anew: keep an instance listening.
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
        if (g_client != INVALID_HANDLE_VALUE) CloseHandle(g_client);
        g_client = h;
        LeaveCriticalSection(&g_lock);
        std::printf("connected\n");
        std::fflush(stdout);
    }
}

int ServeDevice(const wchar_t* name) {
    InitializeCriticalSection(&g_lock);
    CreateThread(nullptr, 0, Listen, const_cast<wchar_t*>(name), 0, nullptr);
    char line[1024];
    while (std::fgets(line, sizeof(line), stdin)) {
        if (std::strncmp(line, "unplug", 6) == 0) {
            EnterCriticalSection(&g_lock);
            if (g_client != INVALID_HANDLE_VALUE) CloseHandle(g_client);
            g_client = INVALID_HANDLE_VALUE;
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
        const BOOL ok = g_client != INVALID_HANDLE_VALUE && WriteFile(g_client, report, n, &written, nullptr);
        LeaveCriticalSection(&g_lock);
        std::printf(ok ? "sent %d\n" : "not sent %d\n", n);
        std::fflush(stdout);
    }
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring cmd = argv[1];
    if (cmd == L"debug" && argc > 3) return RunUnderDebugger(argv[2], argv[3]);
    if (cmd == L"mutex") {
        std::printf("%d\n", MutexExists(argv[2]) ? 1 : 0);
        return 0;
    }
    if (cmd == L"stubborn") return Stubborn(argv[2]);
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
