#pragma once
// The small file beside a .part that lets a later run of the program take the .part up again:
// without it, nothing tells whether the .part's bytes still belong to the file the server has.
#include "platform/FileSystem.h"
#include "setup/SetupState.h"

#include <cstdint>
#include <optional>

struct ResumeRecord {
    Text url;
    // The file's ETag or Last-Modified as first served, sent as If-Range.
    Text validator;
    std::int32_t length = 0;
    bool operator==(const ResumeRecord&) const = default;
};

// Where the record of the .part at partPath lies.
Text ResumeRecordPath(const Text& partPath);

// Writes a file beside the record, puts it on the disk and renames it over the record, so that a
// record is either whole or as it was. Raises RuntimeError, also when a field holds a line break.
void WriteResumeRecord(FileSystem& files, const Text& path, const ResumeRecord& record);

// Nothing when the record is missing, cannot be read, or is not what WriteResumeRecord writes.
std::optional<ResumeRecord> ReadResumeRecord(FileSystem& files, const Text& path);

// What the .part at partPath holds when its record vouches for it as part of url: a validator to
// ask with, and fewer bytes than the whole file; each chunk of chunkSize counts as read.
std::optional<PartialFile> PartLeftEarlier(FileSystem& files, const Text& partPath, const Text& url,
                                           std::int32_t chunkSize);
