// The TAR family: tar, cpio and ar archives and rpm packages, plain or
// compressed, and lone compressed files, read by libarchive; "c" writes
// tar. The command is a word; "-f" and "-o" take the next item. The whole
// compressed stream is checked by stream_check.h.
#pragma once

#include <memory>
#include <string>

#include "commands.h"
#include "reader.h"

namespace archivers::tar {

Dialect LineDialect();
Plan CommandPlan(const ParsedCommand& parsed);
void EnableFormats(archive* reader);
std::unique_ptr<MemberFacts> OpenFacts(const std::string& hostPath);
// GetArchiveType: the kind of compression, and whether it holds an archive
// or a lone file.
int ArchiveType(archive* reader);

// The compression filters the family reads.
void EnableCompressionFilters(archive* reader);

}  // namespace archivers::tar
