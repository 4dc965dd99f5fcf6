#include "archive/sfx_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

#include "archive/archiver.h"
#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strtable.h"
#include "rtl/sysmsg.h"

namespace archive {
namespace {

constexpr std::uint64_t kLargestTailSize = 0xFFFFFFFFu;
constexpr std::size_t kReadChunk = std::size_t{64} * 1024;

std::string ErrorText(int error) {
  return rtl::TrimSystemMessage(std::generic_category().message(error));
}

// One part, open for reading from its start until the object goes.
class TSfxInput {
 public:
  explicit TSfxInput(std::string name) : name_(std::move(name)) {
    // The C stream reports failures through errno and never throws, unlike
    // a file stream's buffer; the unique_ptr is its owner.
    file_.reset(std::fopen(name_.c_str(), "rb"));  // NOLINT(cppcoreguidelines-owning-memory)
    if (file_ == nullptr) {
      const int error = errno;
      throw rtl::EFOpenError(
          rtl::Format(rtl::LoadStr(rtl::SFOpenError), {name_, ErrorText(error)}));
    }
  }
  TSfxInput(const TSfxInput&) = delete;
  TSfxInput& operator=(const TSfxInput&) = delete;
  TSfxInput(TSfxInput&&) = default;
  TSfxInput& operator=(TSfxInput&&) = default;
  ~TSfxInput() = default;

  const std::string& Name() const { return name_; }

  // Appends the whole content; returns the number of bytes read.
  std::uint64_t AppendTo(std::string& data) {
    std::uint64_t total = 0;
    std::string chunk(kReadChunk, '\0');
    while (true) {
      const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file_.get());
      data.append(chunk, 0, got);
      total += got;
      if (got < chunk.size()) {
        break;
      }
    }
    if (std::ferror(file_.get()) != 0) {
      const int error = errno;
      throw rtl::EReadError(rtl::Format(rtl::LoadStr(rtl::SFReadError), {name_, ErrorText(error)}));
    }
    return total;
  }

 private:
  struct Closer {
    void operator()(std::FILE* file) const {
      std::fclose(file);  // NOLINT(cppcoreguidelines-owning-memory)
    }
  };

  std::string name_;
  std::unique_ptr<std::FILE, Closer> file_;
};

// The size the directory lists for the file; nullopt when it is not listed.
std::optional<std::uint64_t> ListedSize(const std::string& fileName) {
  const std::string fullName = platform::ExpandFileName(fileName);
  const std::string name = rtl::ExtractFileName(fullName);
  platform::DirectorySearch search(fullName);
  platform::FindData entry;
  while (search.Next(entry)) {
    if (entry.Name == name) {
      return entry.Size;
    }
  }
  return std::nullopt;
}

[[noreturn]] void RaiseTooLargeForTail(const std::string& fileName) {
  throw EArchiver(rtl::Format(rtl::LoadStr(rtl::SSfxTooLarge), {fileName}));
}

bool SameFileName(const std::string& a, const std::string& b) {
  return platform::SameFileName(a, b);
}

std::string BigEndian32(std::uint64_t value) {
  std::string bytes(4, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[3 - i] = static_cast<char>(static_cast<unsigned char>((value >> (8 * i)) & 0xFFu));
  }
  return bytes;
}

}  // namespace

std::string ChangeFileExt(std::string_view fileName, std::string_view ext, char delimiter) {
  std::string delimiters = ".";
  delimiters += delimiter;
  delimiters += rtl::DriveDelim;
  const std::size_t pos = rtl::LastDelimiter(delimiters, fileName);
  if (pos == 0 || fileName[pos - 1] != '.') {
    return std::string(fileName) + std::string(ext);
  }
  return std::string(fileName.substr(0, pos - 1)) + std::string(ext);
}

std::string SfxOutputFileName(const std::string& archiveFileName, std::string_view ext,
                              const std::string& dir) {
  std::string outputName = ChangeFileExt(archiveFileName, ext);
  if (dir.empty()) {
    return outputName;
  }
  return TArchiver::JoinPath(dir, rtl::ExtractFileName(outputName));
}

void WriteSfxFile(const std::string& outputName, const std::vector<std::string>& partNames,
                  TSfxTail tail) {
  std::vector<TSfxInput> parts;
  parts.reserve(partNames.size());
  for (const std::string& name : partNames) {
    parts.emplace_back(name);
  }
  for (const TSfxInput& part : parts) {
    // Creating the output would empty a part that is still to be read.
    if (SameFileName(outputName, part.Name())) {
      throw rtl::EFCreateError(rtl::Format(rtl::LoadStr(rtl::SFCreateError),
                                           {outputName, rtl::LoadStr(rtl::SSfxOutputIsPart)}));
    }
  }
  const bool sizeTail = tail == TSfxTail::LastPartSizeBigEndian && !parts.empty();
  if (sizeTail) {
    const std::optional<std::uint64_t> size = ListedSize(parts.back().Name());
    if (size && *size > kLargestTailSize) {
      RaiseTooLargeForTail(parts.back().Name());
    }
  }

  // The parts are read whole before the output is created, so nothing is
  // touched when one of them fails.
  std::string data;
  std::uint64_t lastSize = 0;
  for (TSfxInput& part : parts) {
    lastSize = part.AppendTo(data);
  }
  if (sizeTail) {
    if (lastSize > kLargestTailSize) {
      RaiseTooLargeForTail(parts.back().Name());
    }
    data += BigEndian32(lastSize);
  }

  const platform::WriteFileResult written = platform::WriteNewFile(outputName, data);
  if (!written.Created) {
    throw rtl::EFCreateError(rtl::Format(rtl::LoadStr(rtl::SFCreateError),
                                         {outputName, rtl::TrimSystemMessage(written.Error.Text)}));
  }
  if (written.Error.Failed()) {
    // A truncated self-extractor would look finished; take it away.
    platform::DeleteFile(outputName);
    throw rtl::EWriteError(rtl::Format(rtl::LoadStr(rtl::SFWriteError),
                                       {outputName, rtl::TrimSystemMessage(written.Error.Text)}));
  }
}

}  // namespace archive
