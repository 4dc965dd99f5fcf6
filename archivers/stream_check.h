// The whole-stream check of compressed TAR archives (and lone compressed
// files). Reading the members stops at the archive's end marker, short of
// the compression's own trailer, and libarchive never checks a gzip
// trailer at all: a bit flipped in a .tgz would go unseen. The check reads
// the compressed stream to its end once more: gzip through zlib, which
// checks every member's CRC-32 and length, the other compressions through
// libarchive, whose libraries check their own CRCs (bzip2, xz, lzip,
// zstd; compress has none).
#pragma once

#include <string>
#include <string_view>

namespace archivers {

// Raises EngineError when the stream fails: "cannot read" (0x801A) when it
// ends early, "file CRC" (0x800C) for any other failure (a CRC or length
// that disagrees, data that does not decompress). Nothing for an
// uncompressed archive.
void CheckCompressedStream(const std::string& hostPath);

// The code of a compressed stream's failure from the reading library's
// message: "cannot read" when it tells of an early end, else "file CRC".
int CompressedStreamFailure(std::string_view message);

}  // namespace archivers
