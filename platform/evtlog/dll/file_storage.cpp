#include "platform/evtlog/dll/file_storage.h"

#include <algorithm>
#include <cstring>

namespace vantrel::evtlog {

void FileStorage::Unmap() {
    if (view_) UnmapViewOfFile(view_);
    view_ = nullptr;
    mapped_ = 0;
    mapping_.reset();
}

// Maps the file at its shared size, remapping when another process has grown it.
bool FileStorage::Map() {
    if (view_ && mapped_ == *size_) return true;
    Unmap();
    if (*size_ == 0) return false;
    mapping_.reset(CreateFileMappingW(file_.get(), nullptr, PAGE_READWRITE, 0, *size_, nullptr));
    if (!mapping_) return false;
    view_ = static_cast<uint8_t*>(MapViewOfFile(mapping_.get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, *size_));
    if (!view_) {
        mapping_.reset();
        return false;
    }
    mapped_ = *size_;
    return true;
}

bool FileStorage::Read(uint32_t offset, void* buffer, uint32_t count) {
    if (!Map() || uint64_t(offset) + count > mapped_) return false;
    if (count) std::memcpy(buffer, view_ + offset, count);
    return true;
}

bool FileStorage::Write(uint32_t offset, const void* buffer, uint32_t count) {
    if (!Map() || uint64_t(offset) + count > mapped_) return false;
    if (count) std::memcpy(view_ + offset, buffer, count);
    return true;
}

bool FileStorage::Size(uint32_t& size) {
    size = *size_;
    return true;
}

bool FileStorage::SetEnd(uint32_t size) {
    FILE_END_OF_FILE_INFO info;
    info.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(file_.get(), FileEndOfFileInfo, &info, sizeof info);
}

bool FileStorage::SetSize(uint32_t size) {
    if (size == *size_) return true;
    Unmap();
    LARGE_INTEGER physical;
    if (!GetFileSizeEx(file_.get(), &physical)) return false;
    if (size > physical.QuadPart && !SetEnd(size)) return false;
    if (size < physical.QuadPart && !SetEnd(size)) {
        // Another process still has the file mapped, so it cannot shrink yet: the log
        // lives in its first 'size' bytes, and the rest is zeroed so that nothing of what
        // was there survives. TrimTail cuts it off once nobody maps it.
        static const uint8_t zeros[4096] = {};
        for (uint64_t at = size; at < uint64_t(physical.QuadPart); at += sizeof zeros) {
            OVERLAPPED where{};
            where.Offset = DWORD(at);
            DWORD n = DWORD(std::min<uint64_t>(sizeof zeros, uint64_t(physical.QuadPart) - at)), put = 0;
            if (!WriteFile(file_.get(), zeros, n, &put, &where) || put != n) return false;
        }
    }
    *size_ = size;
    return Map();
}

void FileStorage::TrimTail() {
    LARGE_INTEGER physical;
    if (!GetFileSizeEx(file_.get(), &physical) || physical.QuadPart <= *size_) return;
    Unmap();
    SetEnd(*size_);
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
        DWORD got = 0;
        if (!ReadFile(file, out.data() + done, DWORD(out.size() - done), &got, nullptr)) return false;
        if (got == 0) {
            SetLastError(ERROR_HANDLE_EOF);
            return false;
        }
        done += got;
    }
    return true;
}

}  // namespace vantrel::evtlog
