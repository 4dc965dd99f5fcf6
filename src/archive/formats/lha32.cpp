#include "archive/formats/lha32.h"

#include <array>
#include <string_view>
#include <variant>

#include "archive/errors.h"
#include "platform/fs.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strtable.h"

namespace archive {
namespace {

constexpr int kCheckArchiveMode = 16;

// An option the build cannot go without stops it as a failed assertion,
// with the place in the runtime's form.
void RequireOption(std::int8_t value, rtl::StrId message, int line) {
  if (value == -1) {
    throw rtl::EAssertionFailed(
        rtl::Format(rtl::LoadStr(rtl::SAssertionAt), {rtl::LoadStr(message), "LHA32", line}));
  }
}

// How each option field reaches the LHA command line, in the order it is written.
enum class LhaItem { Switch, Dir, Value, Files };

struct LhaSwitch {
  std::string_view name;
  LhaItem kind;
};

constexpr std::array<LhaSwitch, 73> kLhaSwitches{{
    {"a", LhaItem::Switch},   {"c", LhaItem::Switch},   {"e", LhaItem::Switch},
    {"f", LhaItem::Switch},   {"h", LhaItem::Switch},   {"i", LhaItem::Switch},
    {"l", LhaItem::Switch},   {"m", LhaItem::Switch},   {"n", LhaItem::Switch},
    {"o", LhaItem::Switch},   {"p", LhaItem::Switch},   {"r", LhaItem::Switch},
    {"s", LhaItem::Switch},   {"t", LhaItem::Switch},   {"u", LhaItem::Switch},
    {"w", LhaItem::Dir},      {"x", LhaItem::Switch},   {"y", LhaItem::Switch},
    {"z", LhaItem::Switch},   {"jc", LhaItem::Switch},  {"jd", LhaItem::Switch},
    {"je", LhaItem::Switch},  {"jf", LhaItem::Switch},  {"jh", LhaItem::Switch},
    {"ji", LhaItem::Switch},  {"jm", LhaItem::Switch},  {"jn", LhaItem::Switch},
    {"jo", LhaItem::Value},   {"job", LhaItem::Value},  {"jp", LhaItem::Switch},
    {"jr", LhaItem::Switch},  {"jsb", LhaItem::Switch}, {"jsc", LhaItem::Switch},
    {"jsd", LhaItem::Switch}, {"jse", LhaItem::Switch}, {"jsf", LhaItem::Switch},
    {"jsl", LhaItem::Switch}, {"jso", LhaItem::Switch}, {"jss", LhaItem::Switch},
    {"jst", LhaItem::Switch}, {"jsv", LhaItem::Switch}, {"jsz", LhaItem::Switch},
    {"jw", LhaItem::Switch},  {"jx", LhaItem::Files},   {"jyc", LhaItem::Switch},
    {"jyd", LhaItem::Switch}, {"jyk", LhaItem::Switch}, {"jyn", LhaItem::Switch},
    {"jyo", LhaItem::Switch}, {"jz", LhaItem::Value},   {"ga", LhaItem::Switch},
    {"gd", LhaItem::Switch},  {"ge", LhaItem::Switch},  {"gf", LhaItem::Switch},
    {"gj", LhaItem::Switch},  {"gm", LhaItem::Switch},  {"gn", LhaItem::Switch},
    {"go", LhaItem::Switch},  {"gp", LhaItem::Switch},  {"gr", LhaItem::Value},
    {"gs", LhaItem::Switch},  {"gu", LhaItem::Switch},  {"gw", LhaItem::Switch},
    {"gya", LhaItem::Switch}, {"gyc", LhaItem::Switch}, {"gyd", LhaItem::Value},
    {"gye", LhaItem::Value},  {"gyo", LhaItem::Switch}, {"gyq", LhaItem::Switch},
    {"gys", LhaItem::Switch}, {"gyt", LhaItem::Value},  {"gyw", LhaItem::Value},
    {"gyx", LhaItem::Switch},
}};

const TOptionField& FieldOf(std::string_view name) {
  const TOptionField* field = FindOptionField(name);
  rtl::Assert(field != nullptr, name);
  return *field;
}

void AddOption(TCmdOpt& opt, const TArchiverOptions& options, const LhaSwitch& item,
               bool hasOwnerWindow) {
  const TOptionMember& member = FieldOf(item.name).Member;
  switch (item.kind) {
    case LhaItem::Switch: {
      const std::int8_t value = options.*std::get<std::int8_t TArchiverOptions::*>(member);
      // With an owner window the library reports progress to it, never to its own dialog.
      opt.AddSwitch(item.name, item.name == "n" && hasOwnerWindow ? 1 : value);
      break;
    }
    case LhaItem::Dir:
      opt.AddDir(item.name, options.*std::get<std::string TArchiverOptions::*>(member));
      break;
    case LhaItem::Value:
      opt.AddValue(item.name, options.*std::get<std::string TArchiverOptions::*>(member));
      break;
    case LhaItem::Files:
      opt.AddFiles(item.name,
                   FileItems{options.*std::get<rtl::TStringList TArchiverOptions::*>(member)});
      break;
  }
}

}  // namespace

std::string TLha32::BuildLhaCommand(const std::string& command, const std::string& archiveFileName,
                                    const TArchiverOptions& options, const std::string& dir,
                                    const FileItems& files, bool useResponseFile) {
  TCmdOpt opt;
  opt.Add("-+");
  if (command == "x") {
    RequireOption(options.jse, rtl::SLhaJseMissing, 234);
  }
  RequireOption(options.jso, rtl::SLhaJsoMissing, 240);
  for (const LhaSwitch& item : kLhaSwitches) {
    AddOption(opt, options, item, HasOwnerWindow());
  }
  opt.Add(options.UserOptions);
  AddArchiveAndDest(opt, archiveFileName, dir);
  AddFileList(opt, options, useResponseFile, files);
  return command + opt.Text;
}

std::span<const TCommandPlan> TLha32::CommandPlans() const {
  return kLhaCommandPlans;
}

std::string TLha32::BuildCommand(const TCommandRequest& request) {
  return BuildLhaCommand(request.Word, request.ArchiveFileName, request.Options, request.Dir,
                         request.Files, request.UseResponseFile);
}

bool IsLhaArchive(const std::string& fileName) {
  try {
    TArchiverDll& dll = TLha32::LoadedBinding();
    const std::string fullName = platform::ExpandFileName(fileName);
    return dll.CheckArchive(fullName, kCheckArchiveMode) != 0 &&
           OpensAsArchive(dll, fullName, false);
  } catch (const rtl::Exception&) {
    return false;
  }
}

}  // namespace archive
