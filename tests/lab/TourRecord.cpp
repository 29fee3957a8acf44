#include "tests/lab/TourRecord.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace {

const wchar_t kName[] = L"Local\\qevzun-lab-tour";

}  // namespace

struct TourRecord::Shared {
    volatile LONG pictures;
    char directory[MAX_PATH];
};

TourRecord TourRecord::Create(const std::string& directory) {
    UniqueKernelHandle mapping(
        ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(Shared), kName));
    Shared* shared = nullptr;
    if (mapping && directory.size() < MAX_PATH) {
        shared = static_cast<Shared*>(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Shared)));
    }
    if (shared != nullptr) {
        shared->pictures = 0;
        std::memcpy(shared->directory, directory.c_str(), directory.size() + 1);
    }
    return TourRecord(std::move(mapping), shared);
}

TourRecord TourRecord::Open() {
    UniqueKernelHandle mapping(::OpenFileMappingW(FILE_MAP_WRITE, FALSE, kName));
    Shared* shared = nullptr;
    if (mapping) shared = static_cast<Shared*>(::MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(Shared)));
    return TourRecord(std::move(mapping), shared);
}

TourRecord::TourRecord(TourRecord&& other) noexcept
    : m_mapping(std::move(other.m_mapping)), m_shared(std::exchange(other.m_shared, nullptr)) {}

TourRecord::~TourRecord() {
    if (m_shared != nullptr) ::UnmapViewOfFile(m_shared);
}

std::string TourRecord::NextPicture(const std::string& kind, std::string& name) {
    if (m_shared == nullptr) return std::string();
    char file[96];
    std::snprintf(file, sizeof(file), "%02ld-%s.bmp", ::InterlockedIncrement(&m_shared->pictures), kind.c_str());
    name = file;
    return std::string(m_shared->directory) + "\\" + name;
}

void TourRecord::Tell(const std::string& line) const {
    if (m_shared == nullptr) return;
    const std::string path = std::string(m_shared->directory) + "\\tour.txt";
    UniqueFileHandle story(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!story) return;
    const std::string whole = line + "\r\n";
    DWORD written = 0;
    ::WriteFile(story.get(), whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
}
