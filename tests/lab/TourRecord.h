#pragma once
// What the lab's tour and its hook inside the program share: one numbering
// of the pictures, the directory they go to, and the story of the run
// (tour.txt), to which both add lines. The tour creates the record; the hook
// opens it by name.
#include "app/Handles.h"

#include <windows.h>

#include <string>
#include <utility>

class TourRecord {
public:
    static TourRecord Create(const std::string& directory);
    static TourRecord Open();
    ~TourRecord();
    TourRecord(TourRecord&& other) noexcept;
    TourRecord(const TourRecord&) = delete;
    TourRecord& operator=(const TourRecord&) = delete;
    TourRecord& operator=(TourRecord&&) = delete;

    bool Valid() const { return m_shared != nullptr; }
    // The path of the next picture, "<directory>\NN-<kind>.bmp"; `name` gets its file name.
    std::string NextPicture(const std::string& kind, std::string& name);
    // Appends the line to the story; whole lines, whoever writes them.
    void Tell(const std::string& line) const;

private:
    struct Shared;
    TourRecord(UniqueKernelHandle mapping, Shared* shared) : m_mapping(std::move(mapping)), m_shared(shared) {}
    UniqueKernelHandle m_mapping;
    Shared* m_shared;
};
