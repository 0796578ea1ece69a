#pragma once

// Where the zone line reader gets its bytes: a file, bytes in memory, and
// gzip decompression on top of either.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <system_error>

namespace plexor
{
    // A stream of raw bytes. Read returns the number of bytes placed in the
    // buffer, 0 at the end of the data, or -1 on an error.
    class ByteSource
    {
    public:
        virtual ~ByteSource() = default;
        virtual std::ptrdiff_t Read(char* buffer, std::size_t size) = 0;
        // After a Read that returned -1: the system's error that caused it,
        // or empty when the data itself was bad (a damaged gzip stream).
        // Sources that read from another source pass its error on.
        virtual std::error_code Error() const { return {}; }
    };

    // The libraries that can inflate gzip data: zlib everywhere, ISA-L's
    // igzip where the build found it (about four times as fast).
    enum class Inflater
    {
        Zlib,
        Isal
    };

    // The inflaters of this build, zlib first.
    std::span<const Inflater> AvailableInflaters();
    // The fastest of them: what runs use.
    Inflater DefaultInflater();
    // "zlib" or "isal", for test names and messages.
    const char* InflaterName(Inflater inflater);

    // Takes ownership of the open file.
    std::unique_ptr<ByteSource> MakeFileSource(std::FILE* file);
    std::unique_ptr<ByteSource> MakeMemorySource(std::string bytes);

    // The data of `raw` as it should be read: decompressed when it starts
    // with the gzip magic bytes 1F 8B (one or more members; anything after a
    // member that is not another member, and data ending inside a member, is
    // an error), unchanged otherwise; either way without a UTF-8 byte-order
    // mark in front of the text. Returns null when even the first bytes
    // cannot be read. `inflater` chooses the library (one this build does
    // not have means zlib); both check every member's CRC-32 and length.
    // Gzip data is read from `raw` in reads of up to `gzipInputBytes`: the
    // default suits reading whole files; a reader of a file's first
    // kilobytes asks for less, so as not to read and hold far more than it
    // inflates.
    inline constexpr std::size_t kGzipInputBytes = 256 * 1024;
    std::unique_ptr<ByteSource> MakeDecodingSource(std::unique_ptr<ByteSource> raw,
                                                   Inflater inflater = DefaultInflater(),
                                                   std::size_t gzipInputBytes = kGzipInputBytes);
}
