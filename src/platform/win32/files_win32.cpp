#include "platform/win32/files_win32.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/win32/handle_win32.h"
#include "platform/win32/wide.h"

namespace vxm::win32 {

bool FileSystem::FileExists(u16view path) {
    const DWORD a = GetFileAttributesW(W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSystem::DirectoryExists(u16view path) {
    const DWORD a = GetFileAttributesW(W(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileSystem::CreateFolder(u16view path) { return CreateDirectoryW(W(path).c_str(), nullptr) != 0; }

long FileSystem::ReadFile(u16view path, std::vector<std::uint8_t>& out) {
    // No record comes near this; refuse rather than allocate.
    return ReadFileAtMost(path, 0x7FFFFFFF, out);
}

long FileSystem::ReadFileAtMost(u16view path, std::size_t maxSize, std::vector<std::uint8_t>& out) {
    const UniqueHandle file(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return static_cast<long>(GetLastError());
    HANDLE h = file.Get();
    long rc = ERROR_SUCCESS;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h, &size)) {
        rc = static_cast<long>(GetLastError());
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxSize) {
        rc = ERROR_FILE_TOO_LARGE;
    } else {
        out.assign(static_cast<std::size_t>(size.QuadPart), 0);
        std::size_t done = 0;
        while (done < out.size()) {
            DWORD got = 0;
            if (!::ReadFile(h, out.data() + done, static_cast<DWORD>(out.size() - done), &got, nullptr)) {
                rc = static_cast<long>(GetLastError());
                break;
            }
            if (got == 0) break;  // the file shrank while we read it
            done += got;
        }
        out.resize(done);
    }
    return rc;
}

namespace {

long WriteAll(HANDLE h, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        DWORD put = 0;
        const DWORD chunk = static_cast<DWORD>(size - done > 0x40000000u ? 0x40000000u : size - done);
        if (!::WriteFile(h, data + done, chunk, &put, nullptr)) return static_cast<long>(GetLastError());
        done += put;
    }
    return ERROR_SUCCESS;
}

// Truncates the file and writes it where it is.
long WriteInPlace(const std::wstring& path, const std::uint8_t* data, std::size_t size) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return static_cast<long>(GetLastError());
    long rc = WriteAll(file.Get(), data, size);
    // A write the system only completes at the close can fail there.
    if (!file.Reset() && rc == ERROR_SUCCESS) rc = static_cast<long>(GetLastError());
    return rc;
}

std::atomic<unsigned> g_tempCounter{0};

}  // namespace

long FileSystem::WriteFile(u16view path, const std::uint8_t* data, std::size_t size) {
    // Written beside the target and then put in its place, so that a failure
    // or a crash part way leaves the old file whole (profiles, translations).
    const std::wstring target = W(path);
    const std::wstring temp = target + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++g_tempCounter) + L".tmp";
    UniqueHandle file(
        CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    // A folder that takes no new file (or a missing one) leaves the plain way,
    // which also gives the error a caller expects.
    if (!file) return WriteInPlace(target, data, size);
    long rc = WriteAll(file.Get(), data, size);
    if (rc == ERROR_SUCCESS && !FlushFileBuffers(file.Get())) rc = static_cast<long>(GetLastError());
    if (!file.Reset() && rc == ERROR_SUCCESS) rc = static_cast<long>(GetLastError());
    if (rc != ERROR_SUCCESS) {
        DeleteFileW(temp.c_str());
        return rc;
    }
    if (MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return ERROR_SUCCESS;
    }
    DeleteFileW(temp.c_str());
    // A target that cannot be replaced (another program holds it open without
    // sharing its deletion) is written where it is, as before.
    return WriteInPlace(target, data, size);
}

}  // namespace vxm::win32
