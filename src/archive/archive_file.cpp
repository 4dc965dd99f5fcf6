#include "archive/archive_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "archive/errors.h"
#include "archive/formats/registry.h"
#include "platform/fs.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

TArchiveFile* currentArchiveFile = nullptr;

// The enumeration record's size as announced to the library.
constexpr std::uint32_t kEnumRecordSize = arcapi::kEnumMemberInfo64Size;
// What the callback returns to let the library go on.
constexpr int kGoOn = -1;

[[noreturn]] void RaiseArchiver(rtl::StrId message) {
  throw EArchiver(rtl::LoadStr(message));
}

// A NUL-terminated field of a packed record, at most `size` bytes.
std::string FieldText(const char* field, std::size_t size) {
  return {field, ::strnlen(field, size)};
}

}  // namespace

bool TStreamNameLess::operator()(const std::string& a, const std::string& b) const {
  return rtl::UpperCaseAscii(a) < rtl::UpperCaseAscii(b);
}

TArchiverType DetectArchiverType(const std::string& fileName, bool byExtension) {
  if (!byExtension) {
    return FormatOfContent(fileName);
  }
  const std::string extension = rtl::ExtractFileExt(fileName);
  if (rtl::SameTextAscii(extension, ".exe")) {
    return FormatOfContent(fileName);
  }
  return FormatOfExtension(extension);
}

std::string DecodeStreamName(const std::string& entry, const std::string& separator) {
  std::string target = entry;
  if (separator.empty()) {
    return target;
  }
  for (std::size_t i = 0; i < target.size(); ++i) {
    if (rtl::ByteType(target, i + 1) != rtl::MbcsByteType::Single || target[i] != separator[0]) {
      continue;
    }
    target[i] = ':';
    if (separator.size() > 1 && i + 1 < target.size() && target[i + 1] == separator[1]) {
      target[++i] = '\x05';
    }
  }
  return target;
}

void RestoreStreams(const TStreamList* list, const TArchiverOptions& options,
                    const std::string& directory) {
  if (list == nullptr || !platform::VolumeHasNamedStreams(directory)) {
    return;
  }
  for (const std::string& entry : *list) {
    // Create-new: an existing stream of that name stays as it is. Copying
    // keeps the entry's attributes and times.
    (void)platform::CopyFile(entry, DecodeStreamName(entry, options.StreamSeparator), true);
    (void)platform::DeleteFile(entry);
  }
}

TArchiveFile::TArchiveFile(rtl::TComponent* owner)
    : rtl::TComponent(owner), options_(std::make_unique<TArchiverOptions>()) {}

TArchiveFile::~TArchiveFile() {
  if (currentArchiveFile == this) {
    currentArchiveFile = nullptr;
  }
  progressWindow_.reset();
  archiver_.reset();
  options_.reset();
}

void TArchiveFile::SetArchiverType(TArchiverType type) {
  if (type == atNone) {
    return;
  }
  if (type == atAutoDetect) {
    archiverType_ = type;
    return;
  }
  const TFormatRow* format = FindFormat(type);
  if (format == nullptr || format->Create == nullptr) {
    RaiseArchiver(rtl::SFormatNotSet);
  }
  // Created first: when its library is missing the old one stays.
  std::unique_ptr<TArchiver> created = format->Create();
  archiver_ = std::move(created);
  archiverType_ = type;
}

void TArchiveFile::SetFileName(const std::string& name) {
  SetArchiverType(DetectArchiverType(name, true));
  fileName_ = name;
}

void TArchiveFile::SetOutputSize(std::uint32_t size) {
  outputText_.assign(size, ' ');
  if (size > 0) {
    outputText_[0] = '\0';
  }
}

std::string TArchiveFile::OutputText() const {
  return FieldText(outputText_.data(), outputText_.size());
}

TArchiveFile* TArchiveFile::CurrentArchiveFile() {
  return currentArchiveFile;
}

int ARCAPI TArchiveFile::EnumMembersCallback(TEnumMemberInfo64* info) {
  TArchiveFile* self = currentArchiveFile;
  if (self == nullptr || info == nullptr) {
    return kGoOn;
  }
  // The library's C code is below us: nothing may be thrown through it.
  try {
    bool abort = false;
    if (self->archiver_) {
      self->archiver_->EnumMember(*info, *self->options_, abort);
    }
    if (!abort && self->OnEnumMember) {
      self->OnEnumMember(*self, *info, abort);
    }
    return abort ? 0 : kGoOn;
  } catch (...) {
    if (!self->pendingException_) {
      self->pendingException_ = std::current_exception();
    }
    return 0;
  }
}

bool TArchiveFile::EnumeratesMembers(const TArchiverOptions& options) const {
  return static_cast<bool>(OnEnumMember) || options.IncludeExtraStreams;
}

bool TArchiveFile::WantsProgress(const TArchiverOptions& options) const {
  // Stream members are found through progress messages, so an extraction
  // that collects them needs the window as well.
  return static_cast<bool>(OnProgress) ||
         (options.IncludeExtraStreams && !options.StreamSeparator.empty());
}

void TArchiveFile::BeginOperation(const TArchiverOptions& options) {
  if (EnumeratesMembers(options)) {
    currentArchiveFile = this;
    archiver_->SetEnumMembersProc(&TArchiveFile::EnumMembersCallback, kEnumRecordSize);
  }
  if (WantsProgress(options)) {
    if (!progressWindow_) {
      progressWindow_ = std::make_unique<platform::MessageWindow>(
          [this](std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
            return HandleProgressWindowMessage(message, wParam, lParam);
          });
    }
    try {
      archiver_->SetOwnerWindow(static_cast<TWindowHandle>(progressWindow_->Native()), nullptr);
    } catch (const rtl::Exception&) {
      // Extraction goes on without progress.
    }
  }
}

void TArchiveFile::EndOperation(const TArchiverOptions& options) {
  if (EnumeratesMembers(options)) {
    currentArchiveFile = nullptr;
    try {
      archiver_->ClearEnumMembersProc();
    } catch (const rtl::Exception&) {
      // Runs while an extraction's own failure may be passing out.
    }
  }
  if (WantsProgress(options) && progressWindow_) {
    try {
      archiver_->KillOwnerWindow(static_cast<TWindowHandle>(progressWindow_->Native()));
    } catch (const rtl::Exception&) {
      // Nothing is left to undo.
    }
  }
}

std::intptr_t TArchiveFile::HandleProgressWindowMessage(std::uint32_t message,
                                                        std::uintptr_t wParam,
                                                        std::intptr_t lParam) {
  static const std::uint32_t extractMessage =
      platform::RegisterWindowMessage(arcapi::kExtractMessageName);
  if (message != extractMessage) {
    return 0;
  }
  bool abort = false;
  const int state = static_cast<int>(wParam);
  // NOLINTNEXTLINE(performance-no-int-to-ptr): the message carries the record's address
  auto* lpEis = reinterpret_cast<arcapi::TExtractingInfoEx*>(lParam);
  if (streamCollectorInstalled_) {
    StreamCollector(state, lpEis);
  }
  if (OnProgress) {
    OnProgress(*this, state, lpEis, abort);
  }
  return abort ? 1 : 0;
}

void TArchiveFile::StreamCollector(int state, const arcapi::TExtractingInfoEx* lpEis) {
  if (state != arcapi::kExtractInProcess || lpEis == nullptr || streamList_ == nullptr ||
      streamOptions_ == nullptr) {
    return;
  }
  const std::string member =
      FieldText(lpEis->Info.SourceFileName, sizeof lpEis->Info.SourceFileName);
  if (rtl::AnsiPos(streamOptions_->StreamSeparator, member) != 0) {
    streamList_->insert(FieldText(lpEis->Info.DestFileName, sizeof lpEis->Info.DestFileName));
  }
}

void TArchiveFile::RethrowPendingException() {
  std::exception_ptr pending = std::exchange(pendingException_, nullptr);
  if (!pending && progressWindow_) {
    pending = progressWindow_->TakeException();
  }
  if (pending) {
    std::rethrow_exception(pending);
  }
}

int TArchiveFile::ExtractFiles(TWindowHandle window, const TArchiverOptions* options,
                               const FileItems& files, const std::string& dir) {
  lastCommand_.clear();
  if (!archiver_) {
    RaiseArchiver(rtl::SFormatUnknown);
  }
  const TArchiverOptions& used = options != nullptr ? *options : *options_;
  pendingException_ = nullptr;
  if (progressWindow_) {
    (void)progressWindow_->TakeException();
  }
  // Undoes the stream collection and the registrations however the
  // extraction ends.
  struct Cleanup {
    TArchiveFile& self;
    const TArchiverOptions& options;
    const std::string& dir;
    bool begun = false;
    ~Cleanup() {
      try {
        RestoreStreams(self.streamList_.get(), options, dir);
      } catch (...) {
        // Restoring is per entry and best effort; the extraction's result stands.
      }
      self.streamList_.reset();
      self.streamOptions_ = nullptr;
      self.streamCollectorInstalled_ = false;
      if (begun) {
        self.EndOperation(options);
      }
    }
  } cleanup{*this, used, dir};
  BeginOperation(used);
  cleanup.begun = true;
  streamList_.reset();
  if (used.IncludeExtraStreams && !used.StreamSeparator.empty()) {
    streamList_ = std::make_unique<TStreamList>();
    streamOptions_ = &used;
    streamCollectorInstalled_ = true;
  }
  const int result =
      archiver_->ExtractFiles(window, fileName_, used, dir, files,
                              used.ResFileUsage.Contains(ruOnUnpack), lastCommand_, outputText_);
  RethrowPendingException();
  return result;
}

}  // namespace archive
