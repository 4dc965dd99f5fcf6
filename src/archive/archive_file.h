// The one object the rest of the program uses to reach an archive: it picks
// the format from the file name (or, for ".exe", from the content), creates
// the format's archiver and runs extractions through it, with progress and
// member events and the restoring of extracted streams.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "archive/archiver.h"
#include "archive/archiver_type.h"
#include "platform/desktop.h"
#include "rtl/component.h"
#include "rtl/mbcs.h"

namespace archive {

class TArchiveFile;

using TArchiverProgressEvent = std::function<void(TArchiveFile& sender, int state,
                                                  arcapi::TExtractingInfoEx* lpEis, bool& abort)>;
using TArchiverEnumMemberEvent =
    std::function<void(TArchiveFile& sender, TEnumMemberInfo64& enumInfo, bool& abort)>;

// The extracted files that stand for streams, sorted and without duplicates
// (ignoring ASCII letter case, as the volumes that keep streams do).
struct TStreamNameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using TStreamList = std::set<std::string, TStreamNameLess>;

class TArchiveFile : public rtl::TComponent {
 public:
  explicit TArchiveFile(rtl::TComponent* owner = nullptr);
  ~TArchiveFile() override;

  TArchiverType ArchiverType() const { return archiverType_; }
  // A supported format gets a new archiver (its library loaded); atGCA and
  // atBel raise EArchiver; atNone changes nothing; atAutoDetect is stored
  // and keeps the archiver. On any failure nothing changes.
  void SetArchiverType(TArchiverType type);
  TArchiver* Archiver() const { return archiver_.get(); }

  const std::string& FileName() const { return fileName_; }
  // Detects the type first; the name is stored only when that succeeded.
  void SetFileName(const std::string& name);

  TArchiverOptions& Options() { return *options_; }
  const TArchiverOptions& Options() const { return *options_; }

  std::uint32_t OutputSize() const { return static_cast<std::uint32_t>(outputText_.size()); }
  void SetOutputSize(std::uint32_t size);
  // The library's text output of the last operation, up to its first NUL.
  std::string OutputText() const;
  const std::string& LastCommand() const { return lastCommand_; }

  TArchiverProgressEvent OnProgress;
  TArchiverEnumMemberEvent OnEnumMember;

  // Returns the library's integer unjudged. `options` null: Options().
  int ExtractFiles(TWindowHandle window, const TArchiverOptions* options, const FileItems& files,
                   const std::string& dir);

  // The component whose member enumeration is registered, or null.
  static TArchiveFile* CurrentArchiveFile();
  // Handed to the library; returns 0 to stop it.
  static int ARCAPI EnumMembersCallback(TEnumMemberInfo64* info);

 private:
  void BeginOperation(const TArchiverOptions& options);
  void EndOperation(const TArchiverOptions& options);
  bool EnumeratesMembers(const TArchiverOptions& options) const;
  bool WantsProgress(const TArchiverOptions& options) const;
  std::intptr_t HandleProgressWindowMessage(std::uint32_t message, std::uintptr_t wParam,
                                            std::intptr_t lParam);
  void StreamCollector(int state, const arcapi::TExtractingInfoEx* lpEis);
  void RethrowPendingException();

  TArchiverType archiverType_ = atAutoDetect;
  std::unique_ptr<TArchiver> archiver_;
  std::unique_ptr<TArchiverOptions> options_;
  std::string fileName_;
  std::string lastCommand_;
  std::string outputText_;
  std::unique_ptr<platform::MessageWindow> progressWindow_;
  bool streamCollectorInstalled_ = false;
  const TArchiverOptions* streamOptions_ = nullptr;
  std::unique_ptr<TStreamList> streamList_;
  // An exception of an event or hook waits here while the library's code is
  // on the stack, and passes out once the library has returned.
  std::exception_ptr pendingException_;
};

// The format of a file: by its extension, or by content when that is ".exe"
// (or when `byExtension` is false).
TArchiverType DetectArchiverType(const std::string& fileName, bool byExtension = true);

// `entry` with the separator's first character made ":" and, right after
// it, the separator's second character made the character 5.
std::string DecodeStreamName(const std::string& entry, const std::string& separator);

// Copies each listed file into the stream its name stands for and deletes
// the file; nothing when `directory`'s volume keeps no streams.
void RestoreStreams(const TStreamList* list, const TArchiverOptions& options,
                    const std::string& directory);

}  // namespace archive
