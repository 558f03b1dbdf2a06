#include "platform/evtlog/dll/file_storage.h"

namespace vantrel::evtlog {

bool FileStorage::Read(uint32_t offset, void* buffer, uint32_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    while (count) {
        OVERLAPPED o{};
        o.Offset = offset;
        DWORD got = 0;
        if (!ReadFile(file_.get(), p, count, &got, &o) || got == 0) return false;
        p += got;
        offset += got;
        count -= got;
    }
    return true;
}

bool FileStorage::Write(uint32_t offset, const void* buffer, uint32_t count) {
    auto* p = static_cast<const uint8_t*>(buffer);
    while (count) {
        OVERLAPPED o{};
        o.Offset = offset;
        DWORD put = 0;
        if (!WriteFile(file_.get(), p, count, &put, &o) || put == 0) return false;
        p += put;
        offset += put;
        count -= put;
    }
    return true;
}

bool FileStorage::Size(uint32_t& size) {
    LARGE_INTEGER n;
    if (!GetFileSizeEx(file_.get(), &n) || n.QuadPart > 0xFFFFFFFFLL) return false;
    size = uint32_t(n.QuadPart);
    return true;
}

bool FileStorage::SetSize(uint32_t size) {
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &info, sizeof info);
}

bool ReadWholeFile(HANDLE file, uint32_t maxBytes, std::vector<uint8_t>& out) {
    LARGE_INTEGER n;
    if (!GetFileSizeEx(file, &n)) return false;
    if (n.QuadPart > maxBytes) {
        SetLastError(ERROR_EVENTLOG_FILE_CORRUPT);
        return false;
    }
    out.resize(size_t(n.QuadPart));
    size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED o{};
        o.Offset = DWORD(done);
        DWORD got = 0;
        if (!ReadFile(file, out.data() + done, DWORD(out.size() - done), &got, &o)) return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        done += got;
    }
    return true;
}

}  // namespace vantrel::evtlog
