#include "archive/cmd_opt.h"

#include <vector>

#include "platform/fs.h"
#include "rtl/exceptions.h"
#include "rtl/format.h"
#include "rtl/strtable.h"
#include "rtl/sysmsg.h"

namespace archive {
namespace {

std::string Quoted(std::string_view value) {
  std::string quoted;
  quoted.reserve(value.size() + 2);
  quoted += '"';
  quoted += value;
  quoted += '"';
  return quoted;
}

std::string SwitchOf(std::string_view name) {
  // A leading blank lets a caller give a switch of its own making ("-x" as " -x").
  if (name.front() == ' ') {
    return std::string(name.substr(1));
  }
  return "-" + std::string(name);
}

}  // namespace

void TCmdOpt::Add(std::string_view item) {
  Text += ' ';
  Text += item;
}

void TCmdOpt::AddSwitch(std::string_view name, int number) {
  if (number >= 0) {
    Add("-" + std::string(name) + std::to_string(number));
  }
}

void TCmdOpt::AddFlag(std::string_view name, bool on) {
  if (on) {
    Add("-" + std::string(name));
  }
}

void TCmdOpt::AddValue(std::string_view name, std::string_view value) {
  if (value.empty()) {
    return;
  }
  if (name.empty()) {
    Add(Quoted(value));
    return;
  }
  const std::string switchText = SwitchOf(name);
  if (SeparateValue) {
    Add(switchText + " " + Quoted(value));
  } else {
    Add(Quoted(switchText + std::string(value)));
  }
}

void TCmdOpt::AddDir(std::string_view name, std::string_view dir, char delimiter) {
  if (!dir.empty()) {
    AddValue(name, rtl::IncludeTrailingDelimiter(dir, delimiter));
  }
}

std::string TCmdOpt::ConvertPath(const std::string& fileName) const {
  return PathConverter ? PathConverter(fileName) : fileName;
}

void TCmdOpt::AddFileName(std::string_view name, const std::string& fileName) {
  AddValue(name, ConvertPath(fileName));
}

int TCmdOpt::AddFiles(std::string_view name, const FileItems& items) {
  const std::vector<std::string> names = FileItemsToList(items);
  for (const std::string& fileName : names) {
    AddFileName(name, fileName);
  }
  return static_cast<int>(names.size());
}

int TCmdOpt::AddResponseFile(const FileItems& items, const std::string& path) {
  const std::vector<std::string> names = FileItemsToList(items);
  // The whole text first, so a failing converter leaves no file behind.
  std::string text;
  for (const std::string& fileName : names) {
    text += Quoted(ConvertPath(fileName));
    text += "\r\n";
  }
  const platform::WriteFileResult written = platform::WriteNewFile(path, text);
  if (!written.Created) {
    throw rtl::EFCreateError(rtl::Format(rtl::LoadStr(rtl::SFCreateError),
                                         {path, rtl::TrimSystemMessage(written.Error.Text)}));
  }
  if (written.Error.Failed()) {
    throw rtl::EWriteError(rtl::Format(rtl::LoadStr(rtl::SFWriteError),
                                       {path, rtl::TrimSystemMessage(written.Error.Text)}));
  }
  AddValue("", "@" + path);
  return static_cast<int>(names.size());
}

}  // namespace archive
