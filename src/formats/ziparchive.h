// Zip archives as compressed MusicXML needs them, over zlib alone: entries stored or
// deflated, no encryption, no ZIP64 (a score is far below 4 GiB).
#pragma once

#include <QByteArray>

#include <cstdint>
#include <string>
#include <vector>

struct ZipEntryToWrite {
    std::string name;
    QByteArray bytes;
    bool deflate = true; // else stored as it is
};

/// An archive of `entries` in their order, dated 1980-01-01 so that the same entries give the
/// same bytes. Empty when zlib fails.
QByteArray WriteZipArchive(const std::vector<ZipEntryToWrite>& entries);

/// Reads the entries of an archive held in memory, through its central directory.
class CZipArchiveReader {
public:
    enum class Result {
        Ok,
        NoEntry,  // no entry of that name
        TooLarge, // the entry holds more than the limit
        Damaged,  // not a zip archive, cut short, a wrong checksum, a method other than
                  // stored or deflated, encrypted, or ZIP64
    };

    /// Reads the central directory; `archive` must outlive the reader.
    explicit CZipArchiveReader(const QByteArray& archive);

    /// Whether the central directory was found and every record of it lies within the bytes.
    bool IsValid() const { return m_bValid; }

    /// The bytes of the entry named exactly `name`, unpacked and checked against its length
    /// and checksum, no more than `maxBytes` of them whatever its records say.
    Result Read(const std::string& name, int64_t maxBytes, QByteArray& out) const;

private:
    struct Entry {
        std::string name;
        uint16_t flags = 0;
        uint16_t method = 0;
        uint32_t crc = 0;
        uint32_t packedSize = 0;
        uint32_t size = 0;
        uint32_t localOffset = 0;
    };

    const QByteArray& m_archive;
    std::vector<Entry> m_entries;
    bool m_bValid = false;
};
