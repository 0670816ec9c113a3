#include "ziparchive.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr int kLocalHeaderBytes = 30;
constexpr int kCentralHeaderBytes = 46;
constexpr int kEndBytes = 22;
constexpr uint16_t kStored = 0;
constexpr uint16_t kDeflated = 8;
constexpr uint16_t kFlagEncrypted = 1 << 0;
constexpr uint16_t kVersion = 20; // 2.0: deflate
constexpr uint16_t kMadeOnUnix = 3 << 8;
constexpr uint32_t kFileMode = 0100644u << 16; // a regular file, rw-r--r--
constexpr uint16_t kDate1980 = (1 << 5) | 1;   // 1980-01-01 in DOS form

uint16_t Read16(const QByteArray& bytes, qsizetype at) {
    return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
}

uint32_t Read32(const QByteArray& bytes, qsizetype at) {
    return uint32_t(Read16(bytes, at)) | uint32_t(Read16(bytes, at + 2)) << 16;
}

void Put16(QByteArray& out, uint32_t value) {
    out.append(char(value & 0xFF));
    out.append(char(value >> 8 & 0xFF));
}

void Put32(QByteArray& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

uint32_t Crc32(const QByteArray& bytes) {
    return uint32_t(crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(bytes.constData()),
                          uInt(bytes.size())));
}

bool Deflate(const QByteArray& in, QByteArray& out) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return false;
    out.resize(qsizetype(deflateBound(&stream, uLong(in.size()))));
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.constData()));
    stream.avail_in = uInt(in.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return status == Z_STREAM_END;
}

// Raw deflate data into exactly `size` bytes; false when it holds more or fewer, or is broken.
bool Inflate(const char* in, uint32_t inSize, uint32_t size, QByteArray& out) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    out.resize(qsizetype(size) + 1); // room for one byte too many, to find it
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in));
    stream.avail_in = inSize;
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    int status = Z_OK;
    while (status == Z_OK && stream.avail_out > 0)
        status = inflate(&stream, Z_FINISH);
    const uLong produced = stream.total_out;
    inflateEnd(&stream);
    out.resize(qsizetype(produced));
    return status == Z_STREAM_END && produced == size;
}

} // namespace

QByteArray WriteZipArchive(const std::vector<ZipEntryToWrite>& entries) {
    QByteArray archive;
    QByteArray directory;
    for (const ZipEntryToWrite& entry : entries) {
        QByteArray packed;
        if (entry.deflate && !Deflate(entry.bytes, packed))
            return {};
        const QByteArray& data = entry.deflate ? packed : entry.bytes;
        const uint16_t method = entry.deflate ? kDeflated : kStored;
        const uint32_t crc = Crc32(entry.bytes);
        if (entry.name.size() > 0xFFFF ||
            archive.size() + data.size() + qint64(entry.name.size()) + kLocalHeaderBytes >
                std::numeric_limits<int32_t>::max())
            return {};
        const auto offset = uint32_t(archive.size());
        // The fields a local header and a central record share, from the version needed on.
        QByteArray common;
        Put16(common, kVersion);
        Put16(common, 0); // flags
        Put16(common, method);
        Put16(common, 0); // time
        Put16(common, kDate1980);
        Put32(common, crc);
        Put32(common, uint32_t(data.size()));
        Put32(common, uint32_t(entry.bytes.size()));
        Put16(common, uint32_t(entry.name.size()));
        Put16(common, 0); // extra field

        Put32(archive, kLocalSignature);
        archive.append(common);
        archive.append(entry.name.data(), qsizetype(entry.name.size()));
        archive.append(data);

        Put32(directory, kCentralSignature);
        Put16(directory, kMadeOnUnix | kVersion);
        directory.append(common);
        Put16(directory, 0); // comment
        Put16(directory, 0); // disk
        Put16(directory, 0); // internal attributes
        Put32(directory, kFileMode);
        Put32(directory, offset);
        directory.append(entry.name.data(), qsizetype(entry.name.size()));
    }
    const auto directoryOffset = uint32_t(archive.size());
    archive.append(directory);
    Put32(archive, kEndSignature);
    Put16(archive, 0); // this disk
    Put16(archive, 0); // the directory's disk
    Put16(archive, uint32_t(entries.size()));
    Put16(archive, uint32_t(entries.size()));
    Put32(archive, uint32_t(directory.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0); // comment
    return archive;
}

CZipArchiveReader::CZipArchiveReader(const QByteArray& archive) : m_archive(archive) {
    const qsizetype size = archive.size();
    if (size < kEndBytes)
        return;
    // The end record is the last thing in the file but for a comment of up to 64 KiB.
    qsizetype end = -1;
    for (qsizetype at = size - kEndBytes; at >= 0 && at >= size - kEndBytes - 0xFFFF; --at) {
        if (Read32(archive, at) == kEndSignature &&
            at + kEndBytes + Read16(archive, at + 20) <= size) {
            end = at;
            break;
        }
    }
    if (end < 0 || Read16(archive, end + 4) != 0 || Read16(archive, end + 6) != 0)
        return; // none, or spread over several disks
    const uint16_t count = Read16(archive, end + 10);
    const uint32_t directorySize = Read32(archive, end + 12);
    const uint32_t directoryOffset = Read32(archive, end + 16);
    if (count == 0xFFFF || directoryOffset == 0xFFFFFFFF ||
        qint64(directoryOffset) + directorySize > end)
        return; // ZIP64, or a directory beyond the end record
    qsizetype at = directoryOffset;
    const qsizetype directoryEnd = qsizetype(directoryOffset) + directorySize;
    for (int i = 0; i < count; ++i) {
        if (at + kCentralHeaderBytes > directoryEnd || Read32(archive, at) != kCentralSignature)
            return;
        Entry entry;
        entry.flags = Read16(archive, at + 8);
        entry.method = Read16(archive, at + 10);
        entry.crc = Read32(archive, at + 16);
        entry.packedSize = Read32(archive, at + 20);
        entry.size = Read32(archive, at + 24);
        const uint16_t nameLength = Read16(archive, at + 28);
        const qsizetype recordLength =
            kCentralHeaderBytes + nameLength + Read16(archive, at + 30) + Read16(archive, at + 32);
        entry.localOffset = Read32(archive, at + 42);
        if (at + recordLength > directoryEnd)
            return;
        entry.name.assign(archive.constData() + at + kCentralHeaderBytes, nameLength);
        m_entries.push_back(std::move(entry));
        at += recordLength;
    }
    m_bValid = true;
}

CZipArchiveReader::Result CZipArchiveReader::Read(const std::string& name, int64_t maxBytes,
                                                  QByteArray& out) const {
    if (!m_bValid)
        return Result::Damaged;
    const auto found = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&name](const Entry& entry) { return entry.name == name; });
    if (found == m_entries.end())
        return Result::NoEntry;
    const Entry& entry = *found;
    if (int64_t(entry.size) > maxBytes)
        return Result::TooLarge;
    if ((entry.flags & kFlagEncrypted) || entry.size == 0xFFFFFFFF ||
        entry.packedSize == 0xFFFFFFFF || (entry.method != kStored && entry.method != kDeflated))
        return Result::Damaged;
    const qsizetype local = entry.localOffset;
    if (local + kLocalHeaderBytes > m_archive.size() || Read32(m_archive, local) != kLocalSignature)
        return Result::Damaged;
    const qsizetype data =
        local + kLocalHeaderBytes + Read16(m_archive, local + 26) + Read16(m_archive, local + 28);
    if (data + qsizetype(entry.packedSize) > m_archive.size())
        return Result::Damaged;
    QByteArray bytes;
    if (entry.method == kStored) {
        if (entry.packedSize != entry.size)
            return Result::Damaged;
        bytes = m_archive.mid(data, entry.size);
    } else if (!Inflate(m_archive.constData() + data, entry.packedSize, entry.size, bytes)) {
        return Result::Damaged;
    }
    if (Crc32(bytes) != entry.crc)
        return Result::Damaged;
    out = std::move(bytes);
    return Result::Ok;
}
