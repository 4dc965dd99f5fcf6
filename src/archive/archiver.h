// The base of every format archiver: the set of archive operations and the
// order of their steps. A format class only builds the command line of an
// operation; the base runs it through the format's library binding and
// hands back the command line and the library's text output.
#pragma once

#include <cstdint>
#include <string>

#include "archive/archiver_dll.h"
#include "archive/archiver_options.h"
#include "archive/cmd_opt.h"
#include "archive/file_items.h"

namespace archive {

// Tag of the constructors that leave loading the library to a derived
// format with a library of its own.
struct TNoLoad {};

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

  // The builders. An unsupported operation raises EArchiver before
  // anything reaches the library.
  virtual std::string GetExtractCommand(TWindowHandle window, const std::string& archiveFileName,
                                        const TArchiverOptions& options, const std::string& dir,
                                        const FileItems& files, bool useResponseFile) = 0;
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
  int RunUnpackCommand(TWindowHandle window, const std::string& archiveFileName,
                       std::string& output, const std::string& commandLine);
  int RunPackCommand(TWindowHandle window, const std::string& archiveFileName, std::string& output,
                     const std::string& commandLine);

 private:
  TWindowHandle ownerWindow_ = nullptr;
};

}  // namespace archive
