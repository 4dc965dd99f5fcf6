// The libraries the engine is written on: libarchive, liblhasa and zlib.
// On Windows the headers of libarchive and zlib bring in <windows.h>, whose
// macros would rename the platform layer's functions of the same names
// (DeleteFile, GetFreeSpace, SendMessage, ...): they are undone here, after
// them, and every engine source includes the libraries through this file.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <lhasa.h>
#include <zlib.h>

#undef CopyFile
#undef CreateDirectory
#undef CreateHardLink
#undef CreateProcess
#undef CreateWindow
#undef DeleteFile
#undef FindWindowEx
#undef GetFileAttributes
#undef GetFreeSpace
#undef GetModuleFileName
#undef GetPrivateProfileString
#undef GetTempFileName
#undef GetTempPath
#undef LoadLibrary
#undef MessageBox
#undef MoveFile
#undef PostMessage
#undef RegisterWindowMessage
#undef RemoveDirectory
#undef SearchPath
#undef SendMessage
#undef WritePrivateProfileString
