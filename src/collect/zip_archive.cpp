#include "collect/zip_archive.h"

#include <zlib.h>

#include <limits>

namespace qx {
namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t kCentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64EndSignature = 0x06064b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kTimestampExtraId = 0x5455;
constexpr std::uint16_t kUtf8NamesFlag = 1u << 11;
// Made by: version 6.3 (UTF-8 names) on MS-DOS/Windows, so the attributes are DOS ones.
constexpr std::uint16_t kVersionMadeBy = 63;
constexpr std::uint16_t kVersionDeflate = 20;
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflate = 8;
constexpr std::uint32_t kDosDirectory = 0x10;
constexpr std::uint32_t kDosArchive = 0x20;
constexpr std::uint32_t kMax32 = 0xFFFFFFFFu;
constexpr std::uint16_t kMax16 = 0xFFFFu;
constexpr std::size_t kChunk = 256 * 1024;
// The local header's size fields sit 14 bytes in: CRC-32, compressed, uncompressed.
constexpr std::uint64_t kLocalCrcOffset = 14;
constexpr std::size_t kLocalHeaderSize = 30;

void Put16(std::vector<std::uint8_t>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, static_cast<std::uint16_t>(value));
    Put16(out, static_cast<std::uint16_t>(value >> 16));
}

void Put64(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    Put32(out, static_cast<std::uint32_t>(value));
    Put32(out, static_cast<std::uint32_t>(value >> 32));
}

void PutBytes(std::vector<std::uint8_t>& out, const std::string& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

std::uint32_t Field32(std::uint64_t value, bool inZip64) { return inZip64 ? kMax32 : static_cast<std::uint32_t>(value); }

bool HasUnixTime(const ZipTime& time) { return time.UnixTime >= 0 && time.UnixTime <= std::numeric_limits<std::uint32_t>::max(); }

// The extended timestamp, modification time only: the same five bytes in
// local and central headers.
void PutTimestampExtra(std::vector<std::uint8_t>& extra, const ZipTime& time)
{
    if (!HasUnixTime(time)) return;
    Put16(extra, kTimestampExtraId);
    Put16(extra, 5);
    extra.push_back(1);
    Put32(extra, static_cast<std::uint32_t>(time.UnixTime));
}

// What deflate may make of `size` bytes at worst (zlib's deflateBound for a raw stream).
std::uint64_t DeflateBound(std::uint64_t size) { return size + (size >> 12) + (size >> 14) + (size >> 25) + 64; }

class Deflater {
public:
    Deflater()
    {
        // Raw deflate (negative window bits): the container carries its own CRC.
        ok_ = ::deflateInit2(&stream_, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~Deflater()
    {
        if (ok_) ::deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool Ok() const { return ok_; }
    z_stream& Stream() { return stream_; }

private:
    z_stream stream_{};
    bool ok_ = false;
};

}  // namespace

std::string Utf8Of(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = static_cast<std::uint16_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint16_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

ZipWriter::ZipWriter(ZipSink& sink, std::uint64_t zip64Threshold) : sink_(sink), threshold_(zip64Threshold) {}

bool ZipWriter::Put(const std::vector<std::uint8_t>& bytes)
{
    if (!sink_.Write(bytes.data(), bytes.size())) return false;
    offset_ += bytes.size();
    return true;
}

std::vector<std::uint8_t> ZipWriter::LocalHeader(const Entry& entry) const
{
    std::vector<std::uint8_t> extra;
    if (entry.Zip64Local) {
        // Both sizes, as a local ZIP64 field must hold them.
        Put16(extra, kZip64ExtraId);
        Put16(extra, 16);
        Put64(extra, entry.Size);
        Put64(extra, entry.CompressedSize);
    }
    PutTimestampExtra(extra, entry.Time);

    std::vector<std::uint8_t> header;
    Put32(header, kLocalHeaderSignature);
    Put16(header, entry.Zip64Local ? kVersionZip64 : kVersionDeflate);
    Put16(header, kUtf8NamesFlag);
    Put16(header, entry.Method);
    Put16(header, entry.Time.DosTime);
    Put16(header, entry.Time.DosDate);
    Put32(header, entry.Crc);
    Put32(header, Field32(entry.CompressedSize, entry.Zip64Local));
    Put32(header, Field32(entry.Size, entry.Zip64Local));
    Put16(header, static_cast<std::uint16_t>(entry.Name.size()));
    Put16(header, static_cast<std::uint16_t>(extra.size()));
    PutBytes(header, entry.Name);
    header.insert(header.end(), extra.begin(), extra.end());
    return header;
}

std::vector<std::uint8_t> ZipWriter::CentralHeader(const Entry& entry) const
{
    // Only the fields that do not fit go into the ZIP64 field, in this order.
    const bool bigSize = NeedsZip64(entry.Size);
    const bool bigCompressed = NeedsZip64(entry.CompressedSize);
    const bool bigOffset = NeedsZip64(entry.HeaderOffset);
    std::vector<std::uint8_t> extra;
    if (bigSize || bigCompressed || bigOffset) {
        Put16(extra, kZip64ExtraId);
        Put16(extra, static_cast<std::uint16_t>(8 * (bigSize + bigCompressed + bigOffset)));
        if (bigSize) Put64(extra, entry.Size);
        if (bigCompressed) Put64(extra, entry.CompressedSize);
        if (bigOffset) Put64(extra, entry.HeaderOffset);
    }
    PutTimestampExtra(extra, entry.Time);
    const bool zip64 = entry.Zip64Local || bigSize || bigCompressed || bigOffset;

    std::vector<std::uint8_t> header;
    Put32(header, kCentralHeaderSignature);
    Put16(header, kVersionMadeBy);
    Put16(header, zip64 ? kVersionZip64 : kVersionDeflate);
    Put16(header, kUtf8NamesFlag);
    Put16(header, entry.Method);
    Put16(header, entry.Time.DosTime);
    Put16(header, entry.Time.DosDate);
    Put32(header, entry.Crc);
    Put32(header, Field32(entry.CompressedSize, bigCompressed));
    Put32(header, Field32(entry.Size, bigSize));
    Put16(header, static_cast<std::uint16_t>(entry.Name.size()));
    Put16(header, static_cast<std::uint16_t>(extra.size()));
    Put16(header, 0);  // comment
    Put16(header, 0);  // disk
    Put16(header, 0);  // internal attributes
    Put32(header, entry.Attributes);
    Put32(header, Field32(entry.HeaderOffset, bigOffset));
    PutBytes(header, entry.Name);
    header.insert(header.end(), extra.begin(), extra.end());
    return header;
}

bool ZipWriter::AddFolder(std::wstring_view name, const ZipTime& time)
{
    Entry entry{Utf8Of(name), time, kMethodStored, 0, 0, 0, offset_, kDosDirectory, false};
    if (entry.Name.size() > kMax16) return false;
    if (!Put(LocalHeader(entry))) return false;
    entries_.push_back(std::move(entry));
    return true;
}

ZipResult ZipWriter::AddFile(std::wstring_view name, const ZipTime& time, std::uint64_t expectedSize,
                             ZipSource& source, const std::function<bool(std::uint64_t bytesRead)>& keepGoing)
{
    Entry entry{Utf8Of(name), time, kMethodDeflate, 0, 0, 0, offset_, kDosArchive, false};
    if (entry.Name.size() > kMax16) return ZipResult::SourceFailed;
    entry.Zip64Local = NeedsZip64(DeflateBound(expectedSize));
    if (!Put(LocalHeader(entry))) return ZipResult::SinkFailed;

    Deflater deflater;
    if (!deflater.Ok()) return ZipResult::SinkFailed;
    z_stream& stream = deflater.Stream();
    std::vector<std::uint8_t> input(kChunk);
    std::vector<std::uint8_t> output(kChunk);
    uLong crc = ::crc32(0, nullptr, 0);
    bool end = false;
    while (!end) {
        std::size_t read = 0;
        if (!source.Read(input.data(), input.size(), read)) return ZipResult::SourceFailed;
        end = read == 0;
        crc = ::crc32(crc, input.data(), static_cast<uInt>(read));
        entry.Size += read;
        stream.next_in = input.data();
        stream.avail_in = static_cast<uInt>(read);
        do {
            stream.next_out = output.data();
            stream.avail_out = static_cast<uInt>(output.size());
            const int status = ::deflate(&stream, end ? Z_FINISH : Z_NO_FLUSH);
            if (status == Z_STREAM_ERROR) return ZipResult::SinkFailed;
            const std::size_t produced = output.size() - stream.avail_out;
            if (produced && !sink_.Write(output.data(), produced)) return ZipResult::SinkFailed;
            offset_ += produced;
            entry.CompressedSize += produced;
        } while (stream.avail_out == 0);
        if (!end && !keepGoing(entry.Size)) return ZipResult::Cancelled;
    }
    entry.Crc = static_cast<std::uint32_t>(crc);
    if (!entry.Zip64Local && (NeedsZip64(entry.Size) || NeedsZip64(entry.CompressedSize))) return ZipResult::Grew;

    // The header again, now with the CRC and the sizes; its length is unchanged.
    if (!sink_.WriteAt(entry.HeaderOffset, LocalHeader(entry).data(), kLocalHeaderSize + entry.Name.size() +
                                                                          (entry.Zip64Local ? 20 : 0)))
        return ZipResult::SinkFailed;
    entries_.push_back(std::move(entry));
    return ZipResult::Added;
}

bool ZipWriter::Finish()
{
    const std::uint64_t directoryOffset = offset_;
    for (const Entry& entry : entries_) {
        if (!Put(CentralHeader(entry))) return false;
    }
    const std::uint64_t directorySize = offset_ - directoryOffset;
    const std::uint64_t count = entries_.size();
    const bool zip64 = count >= kMax16 || NeedsZip64(directoryOffset) || NeedsZip64(directorySize);

    std::vector<std::uint8_t> end;
    if (zip64) {
        const std::uint64_t zip64EndOffset = offset_;
        Put32(end, kZip64EndSignature);
        Put64(end, 44);  // the record's size after this field
        Put16(end, kVersionMadeBy);
        Put16(end, kVersionZip64);
        Put32(end, 0);  // this disk
        Put32(end, 0);  // the directory's disk
        Put64(end, count);
        Put64(end, count);
        Put64(end, directorySize);
        Put64(end, directoryOffset);
        Put32(end, kZip64LocatorSignature);
        Put32(end, 0);
        Put64(end, zip64EndOffset);
        Put32(end, 1);  // disks
    }
    Put32(end, kEndSignature);
    Put16(end, 0);
    Put16(end, 0);
    const std::uint16_t count16 = count >= kMax16 ? kMax16 : static_cast<std::uint16_t>(count);
    Put16(end, count16);
    Put16(end, count16);
    Put32(end, Field32(directorySize, NeedsZip64(directorySize)));
    Put32(end, Field32(directoryOffset, NeedsZip64(directoryOffset)));
    Put16(end, 0);  // comment
    return Put(end);
}

}  // namespace qx
