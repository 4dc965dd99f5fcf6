// The base of every format archiver: the set of archive operations and the
// order of their steps. A format class only builds the command line of an
// operation; the base runs it through the format's library binding and
// hands back the command line and the library's text output.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "archive/archiver_dll.h"
#include "archive/archiver_options.h"
#include "archive/cmd_opt.h"
#include "archive/file_items.h"
#include "rtl/strtable.h"

namespace archive {

// Tag of the constructors that leave loading the library to a derived
// format with a library of its own.
struct TNoLoad {};

// The operations whose command line a format builds.
enum class TBuilder : std::uint8_t { Extract, Add, Delete, Update, Sfx, ExtractMem };

// When a line hands its file list over in a response file: never, as the
// caller asks, or as the options' ResFileUsage says for one operation.
enum class TResponseFileRule : std::uint8_t {
  Never,
  Caller,
  OnPack,
  OnUnpack,
  OnRemoveItem,
  OnUpdate
};

// How a format builds one operation's line: the command word its builder
// starts with and the response-file rule. An operation without a plan is
// one the format does not support.
struct TCommandPlan {
  TBuilder Builder;
  std::string_view Word;
  TResponseFileRule ResponseFile;
};

// What a format's builder is given for one line. The directory is empty
// for deleting and extracting to memory; the files are none for a
// self-extracting archive and the member alone for extracting to memory.
struct TCommandRequest {
  TBuilder Builder;
  std::string Word;
  const std::string& ArchiveFileName;
  const TArchiverOptions& Options;
  const std::string& Dir;
  const FileItems& Files;
  bool UseResponseFile;
};

class TArchiver {
 public:
  TArchiver() = default;
  explicit TArchiver(TNoLoad /*unused*/) {}
  virtual ~TArchiver() = default;
  TArchiver(const TArchiver&) = delete;
  TArchiver& operator=(const TArchiver&) = delete;

  // Class operations of the base: a format class hides them with its own.
  static void LoadDLL();
  static void FreeDLL();

  // The format's process-wide binding, loaded by the format's LoadDLL.
  virtual TCustomArchiverDll& ArchiverDll() const = 0;
  // Calls the format's LoadDLL.
  virtual void EnsureDLL() = 0;

  TWindowHandle OwnerWindow() const { return ownerWindow_; }
  bool HasOwnerWindow() const { return ownerWindow_ != nullptr; }

  // The archive name is expanded to a full path first.
  virtual TArchiveHandle OpenArchive(TWindowHandle window, const std::string& archiveFileName,
                                     std::uint32_t mode);
  virtual int FindFirst(TArchiveHandle archive, TMemberInfo& info, const std::string& wildName);
  virtual int FindNext(TArchiveHandle archive, TMemberInfo& info);
  virtual int CloseArchive(TArchiveHandle archive);
  // Called for each member during an enumerating operation; the base does nothing.
  virtual void EnumMember(const TEnumMemberInfo64& info, const TArchiverOptions& options,
                          bool& abort);

  // The operation templates: build the line, keep it in `commandLine`, run
  // it, and return the library's integer unjudged. `output` is the caller's
  // buffer, written in place; its length is the buffer size.
  virtual int ExtractFiles(TWindowHandle window, const std::string& archiveFileName,
                           const TArchiverOptions& options, const std::string& dir,
                           const FileItems& files, bool useResponseFile, std::string& commandLine,
                           std::string& output);
  virtual int AddFiles(TWindowHandle window, const std::string& archiveFileName,
                       const TArchiverOptions& options, const std::string& dir,
                       const FileItems& files, bool useResponseFile, std::string& commandLine,
                       std::string& output);
  virtual int DeleteFiles(TWindowHandle window, const std::string& archiveFileName,
                          const TArchiverOptions& options, const std::string& dir,
                          const FileItems& files, bool useResponseFile, std::string& commandLine,
                          std::string& output);
  virtual int UpdateFiles(TWindowHandle window, const std::string& archiveFileName,
                          const TArchiverOptions& options, const std::string& dir,
                          const FileItems& files, bool useResponseFile, std::string& commandLine,
                          std::string& output);
  virtual int MakeSfx(TWindowHandle window, const std::string& archiveFileName,
                      const TArchiverOptions& options, const std::string& dir,
                      std::string& commandLine, std::string& output);
  virtual int ExtractMem(TWindowHandle window, const std::string& archiveFileName,
                         const TArchiverOptions& options, const std::string& memberName,
                         std::uint8_t* buffer, std::uint32_t bufferSize, std::uint32_t* writtenSize,
                         std::string& commandLine);
  // The binding's check with the two modes added.
  virtual int CheckArchive(const std::string& fileName, int mode, int addedMode);

  // The builders. Each builds the line of its format's plan for the
  // operation; an operation without one raises EArchiver before anything
  // reaches the library. A format whose lines follow no plan overrides them.
  virtual std::string GetExtractCommand(TWindowHandle window, const std::string& archiveFileName,
                                        const TArchiverOptions& options, const std::string& dir,
                                        const FileItems& files, bool useResponseFile);
  virtual std::string GetAddCommand(TWindowHandle window, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile);
  virtual std::string GetDeleteCommand(TWindowHandle window, const std::string& archiveFileName,
                                       const TArchiverOptions& options, const std::string& dir,
                                       const FileItems& files, bool useResponseFile);
  virtual std::string GetUpdateCommand(TWindowHandle window, const std::string& archiveFileName,
                                       const TArchiverOptions& options, const std::string& dir,
                                       const FileItems& files, bool useResponseFile);
  virtual std::string GetSfxCommand(TWindowHandle window, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir);
  virtual std::string GetExtractMemCommand(TWindowHandle window, const std::string& archiveFileName,
                                           const TArchiverOptions& options,
                                           const std::string& memberName);

  // Registers `window` for the library's progress messages; true when the
  // library took it.
  virtual bool SetOwnerWindow(TWindowHandle window, arcapi::TArchiverProc callback);
  virtual bool KillOwnerWindow(TWindowHandle window);
  virtual int SetEnumMembersProc(arcapi::TEnumMembersProc64 callback, std::uint32_t recordSize);
  virtual int ClearEnumMembersProc();

  // Shared by the format builders.
  static void AddArchiveAndDest(TCmdOpt& opt, const std::string& archiveFileName,
                                const std::string& dir);
  // The file names or the response-file item, then UserFileList; returns
  // the number of names.
  static int AddFileList(TCmdOpt& opt, const TArchiverOptions& options, bool useResponseFile,
                         const FileItems& files);
  // `dir` + delimiter + `fileName`, with exactly one delimiter between them.
  static std::string JoinPath(const std::string& dir, const std::string& fileName,
                              char delimiter = rtl::PathDelim);

 protected:
  // The format's plans, one per supported operation; none in the base.
  virtual std::span<const TCommandPlan> CommandPlans() const;
  // The format's builder for a planned line.
  virtual std::string BuildCommand(const TCommandRequest& request);

  int RunUnpackCommand(TWindowHandle window, const std::string& archiveFileName,
                       std::string& output, const std::string& commandLine);
  int RunPackCommand(TWindowHandle window, const std::string& archiveFileName, std::string& output,
                     const std::string& commandLine);

 private:
  // The line of the plan for `builder`, or EArchiver with `unsupported`.
  std::string PlannedCommand(TBuilder builder, rtl::StrId unsupported,
                             const std::string& archiveFileName, const TArchiverOptions& options,
                             const std::string& dir, const FileItems& files, bool useResponseFile);

  TWindowHandle ownerWindow_ = nullptr;
};

}  // namespace archive
