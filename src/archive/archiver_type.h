// The archive formats the program tells apart.
#pragma once

#include <cstdint>

namespace archive {

// The archive types the format detection tells apart, in their fixed order.
enum TArchiverType : std::uint8_t {
  atLha,
  atZip,
  atCab,
  atArj,
  atTar,
  atTgz,
  atBZ2,
  atRar,
  atBga,
  atYz1,
  atGCA,
  atBel,
  at7z,
  atNone,
  atAutoDetect
};

}  // namespace archive
