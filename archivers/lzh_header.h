// What the engine reads from an LZH header's raw bytes itself. liblhasa
// decodes the headers, but it lower-cases the names of DOS archives and
// folds "." and ".." out of their paths; the names here are the bytes as
// stored, so that ZEL.EXE stays ZEL.EXE and a ".." is seen (and refused).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace archivers {

using ByteSpan = std::span<const std::uint8_t>;

// The CRC-16 of LZH headers and data (polynomial 0xA001, reflected, from
// `crc`).
std::uint16_t LzhCrc16(std::uint16_t crc, ByteSpan bytes);

// The member's name as stored (path and file name, from the base header
// and the extended headers), converted from Shift_JIS to UTF-8, with "/"
// as the delimiter (the stored "\" and 0xFF delimiters included). Nothing
// is removed or changed: "..", a leading "/" and case stay.
std::string LzhStoredName(ByteSpan raw);

// The DOS attribute byte of a level 0 or 1 header; nullopt for level 2
// and 3, where the byte is reserved.
std::optional<std::uint32_t> LzhAttributes(ByteSpan raw);

// Whether an LZH header could start at `bytes`: the method field lhasa
// looks for when it skips a self-extracting stub.
bool LooksLikeLzhHeader(ByteSpan bytes);

// Why a header that does not decode fails: cannot read when the file ends
// inside it, header CRC when its checksum (level 0 and 1) or its CRC
// extended header (level 2) disagrees, else header broken. `bytes` run
// from the header's start to the end of the file (or of the largest
// header).
int LzhHeaderFailure(ByteSpan bytes);

}  // namespace archivers
