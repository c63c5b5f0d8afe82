#pragma once
// A ZIP archive written front to back: deflate from zlib, names in UTF-8
// (general-purpose flag bit 11), and ZIP64 records only where a size, an offset
// or the number of members needs them. Member data passes through in chunks;
// only the central directory's entries are kept until the end.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

// Where the archive's bytes go, in order; WriteAt rewrites bytes already
// written (the header of the member just finished).
class ZipSink {
public:
    virtual bool Write(const void* data, std::size_t size) = 0;
    virtual bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) = 0;

protected:
    ~ZipSink() = default;
};

// Where a member's bytes come from. `read` 0 means the end.
class ZipSource {
public:
    virtual bool Read(void* buffer, std::size_t capacity, std::size_t& read) = 0;

protected:
    ~ZipSource() = default;
};

struct ZipTime {
    // MS-DOS date and time, in local time as every reader shows them.
    std::uint16_t DosDate = 0x21;  // 1980-01-01
    std::uint16_t DosTime = 0;
    // Seconds since 1970 UTC for the extended-timestamp field; left out when it
    // does not fit its 32 bits.
    std::int64_t UnixTime = -1;
};

// Sizes and offsets at or above this go into ZIP64 records: 0xFFFFFFFF itself
// is the marker that says so.
inline constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFull;

enum class ZipResult {
    Added,
    SourceFailed,
    SinkFailed,
    Cancelled,
    // The member outgrew the size it was announced with past what its header can hold.
    Grew,
};

class ZipWriter {
public:
    // `zip64Threshold` lower than kZip64Threshold only in tests, so that small
    // archives take the ZIP64 paths.
    explicit ZipWriter(ZipSink& sink, std::uint64_t zip64Threshold = kZip64Threshold);

    // `name` is relative with "/" between its parts; a folder's ends in "/".
    bool AddFolder(std::wstring_view name, const ZipTime& time);
    // `expectedSize` is what the source is known to hold; it decides whether
    // the local header carries ZIP64 sizes. `keepGoing` is asked after every
    // chunk with the bytes read so far; false stops with Cancelled.
    ZipResult AddFile(std::wstring_view name, const ZipTime& time, std::uint64_t expectedSize, ZipSource& source,
                      const std::function<bool(std::uint64_t bytesRead)>& keepGoing);
    // Writes the central directory and its end records; nothing may be added after.
    bool Finish();

    std::uint64_t BytesWritten() const { return offset_; }

private:
    struct Entry {
        std::string Name;
        ZipTime Time;
        std::uint16_t Method;
        std::uint32_t Crc;
        std::uint64_t CompressedSize;
        std::uint64_t Size;
        std::uint64_t HeaderOffset;
        std::uint32_t Attributes;
        bool Zip64Local;
    };

    bool Put(const std::vector<std::uint8_t>& bytes);
    bool NeedsZip64(std::uint64_t value) const { return value >= threshold_; }
    std::vector<std::uint8_t> LocalHeader(const Entry& entry) const;
    std::vector<std::uint8_t> CentralHeader(const Entry& entry) const;

    ZipSink& sink_;
    std::uint64_t threshold_;
    std::uint64_t offset_ = 0;
    std::vector<Entry> entries_;
};

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8Of(std::wstring_view text);

}  // namespace qx
