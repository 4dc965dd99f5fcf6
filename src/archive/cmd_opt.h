// Builds the command line that an archiver library takes, item by item:
// numbered switches, quoted values, quoted directories, the file names of an
// operation or a response file that carries them instead.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "archive/file_items.h"
#include "rtl/mbcs.h"

namespace archive {

class TCmdOpt {
 public:
  using TPathConverter = std::function<std::string(const std::string&)>;

  // Write a switch and its value as two items (switch, blank, quoted value)
  // instead of one quoted item.
  bool SeparateValue = false;
  // Turns a file name into the form the library expects; empty for none.
  TPathConverter PathConverter;
  // The line so far. Every item is " " + item, so it begins with a blank.
  std::string Text;

  // Appends " " + item, even for an empty item.
  void Add(std::string_view item);
  // "-" + name + number in decimal; a negative number adds nothing.
  void AddSwitch(std::string_view name, int number);
  // "-" + name when `on`.
  void AddFlag(std::string_view name, bool on);
  // A quoted value, with the switch "-" + name in front of it (a name that
  // begins with a blank is written without the blank and without "-"). An
  // empty name quotes the value alone; an empty value adds nothing at all.
  // Nothing inside the value is escaped.
  void AddValue(std::string_view name, std::string_view value);
  // AddValue of the directory with one trailing delimiter (the last whole
  // character counts, so a double-byte trail byte is not a delimiter); an
  // empty directory adds nothing.
  void AddDir(std::string_view name, std::string_view dir, char delimiter = rtl::PathDelim);
  std::string ConvertPath(const std::string& fileName) const;
  // AddValue of the converted file name.
  void AddFileName(std::string_view name, const std::string& fileName);
  // AddFileName for each name of the list, in order; returns their number.
  int AddFiles(std::string_view name, const FileItems& items);
  // Writes the names, each quoted and converted, one per CRLF-terminated
  // line, to the file at `path` (replaced if it exists), then adds the
  // quoted item "@" + path; returns the number of names. Raises
  // EFCreateError or EWriteError, adding nothing, when the file cannot be
  // created or written. The file is left on disk for the library to read.
  int AddResponseFile(const FileItems& items, const std::string& path);
};

}  // namespace archive
