// The archiver of LHA archives, bound to UNLHA32.DLL under the prefix "Unlha".
#pragma once

#include <array>
#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/formats/bound_archiver.h"

namespace archive {

// Every operation has its line; extracting to memory has no command word.
inline constexpr std::array<TCommandPlan, 6> kLhaCommandPlans{{
    {TBuilder::Extract, "x", TResponseFileRule::OnUnpack},
    {TBuilder::Add, "u", TResponseFileRule::OnPack},
    {TBuilder::Delete, "d", TResponseFileRule::OnRemoveItem},
    {TBuilder::Update, "f", TResponseFileRule::OnUpdate},
    {TBuilder::Sfx, "s", TResponseFileRule::Never},
    {TBuilder::ExtractMem, "", TResponseFileRule::Never},
}};

class TLha32 : public TBoundArchiver<TArchiver, atLha> {
 public:
  // Loads the format's library; ENoArchiverDLL when it is missing.
  TLha32() = default;

  static TArchiverDll* LhaDll() { return Binding(); }

  // The command word, then the options' switches in their fixed order, the
  // quoted archive and directory, and the file list.
  std::string BuildLhaCommand(const std::string& command, const std::string& archiveFileName,
                              const TArchiverOptions& options, const std::string& dir,
                              const FileItems& files, bool useResponseFile);

 protected:
  // For a format that shares the LHA builders but has a library of its own.
  explicit TLha32(TNoLoad tag) : TBoundArchiver(tag) {}

  std::span<const TCommandPlan> CommandPlans() const override;
  std::string BuildCommand(const TCommandRequest& request) override;
};

// Whether the file is an LHA archive by the library's own check; never raises.
bool IsLhaArchive(const std::string& fileName);

}  // namespace archive
