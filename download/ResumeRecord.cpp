#include "download/ResumeRecord.h"

#include "platform/RuntimeError.h"

#include <array>
#include <limits>
#include <string>
#include <vector>

namespace {

// The first line names the format, so that a record of another kind or version reads as damaged.
constexpr std::string_view FormatLine = "MavikSetupWebCD resume 1";
constexpr std::string_view UrlKey = "url=";
constexpr std::string_view ValidatorKey = "validator=";
constexpr std::string_view LengthKey = "length=";
// Far beyond any record written; a longer file is no record and is not read into memory.
constexpr std::uint64_t MaxRecordBytes = 8192;
const Text TemporarySuffix = u".tmp";

std::string RecordText(const ResumeRecord& record)
{
    const std::string url = ToUtf8(record.url);
    const std::string validator = ToUtf8(record.validator);
    if ((url + validator).find_first_of("\r\n") != std::string::npos)
        throw RuntimeError(ErrorNumber::InvalidProcedureCall, u"A line break in a resume record");
    return std::string(FormatLine) + "\n" + std::string(UrlKey) + url + "\n" + std::string(ValidatorKey) +
           validator + "\n" + std::string(LengthKey) + std::to_string(record.length) + "\n";
}

// The lines of text, each ended by a line feed; nothing when the last one has none.
std::optional<std::vector<std::string_view>> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<std::string_view> Field(std::string_view line, std::string_view key)
{
    if (!line.starts_with(key)) return std::nullopt;
    return line.substr(key.size());
}

// Decimal digits of a positive 32-bit number, nothing else.
std::optional<std::int32_t> Length(std::string_view digits)
{
    if (digits.empty() || digits.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    for (char digit : digits) {
        if (digit < '0' || digit > '9') return std::nullopt;
        value = value * 10 + (digit - '0');
    }
    if (value <= 0 || value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<ResumeRecord> ParseRecord(std::string_view text)
{
    const auto lines = Lines(text);
    if (!lines || lines->size() != 4 || (*lines)[0] != FormatLine) return std::nullopt;
    const auto url = Field((*lines)[1], UrlKey);
    const auto validator = Field((*lines)[2], ValidatorKey);
    const auto length = Field((*lines)[3], LengthKey);
    if (!url || !validator || !length || url->empty() || validator->empty()) return std::nullopt;
    const auto size = Length(*length);
    if (!size) return std::nullopt;
    return ResumeRecord{FromUtf8(*url), FromUtf8(*validator), *size};
}

std::string ReadSmallFile(FileSystem& files, const Text& path)
{
    const auto file = files.OpenLocked(path);
    if (file->Size() > MaxRecordBytes) return {};
    std::string content;
    std::array<std::byte, 1024> buffer{};
    while (const std::size_t read = file->Read(buffer))
        content.append(reinterpret_cast<const char*>(buffer.data()), read);
    return content;
}

} // namespace

Text ResumeRecordPath(const Text& partPath) { return partPath + u".resume"; }

void WriteResumeRecord(FileSystem& files, const Text& path, const ResumeRecord& record)
{
    const std::string text = RecordText(record);
    const Text temporary = path + TemporarySuffix;
    {
        const auto file = files.Create(temporary);
        file->Write(std::as_bytes(std::span(text)));
        file->Flush();
    }
    files.Rename(temporary, path);
}

std::optional<ResumeRecord> ReadResumeRecord(FileSystem& files, const Text& path)
{
    try {
        return ParseRecord(ReadSmallFile(files, path));
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

std::optional<PartialFile> PartLeftEarlier(FileSystem& files, const Text& partPath, const Text& url,
                                           std::int32_t chunkSize)
{
    const auto record = ReadResumeRecord(files, ResumeRecordPath(partPath));
    if (!record || record->url != url) return std::nullopt;
    std::uint64_t received = 0;
    try {
        received = files.OpenLocked(partPath)->Size();
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
    // A .part as long as the file or longer is not what the record says it is.
    if (received == 0 || received >= static_cast<std::uint64_t>(record->length)) return std::nullopt;
    const auto bytes = static_cast<std::int64_t>(received);
    return PartialFile{.received = bytes,
                       .chunksRead = static_cast<std::int32_t>((bytes + chunkSize - 1) / chunkSize),
                       .length = record->length,
                       .validator = record->validator};
}
