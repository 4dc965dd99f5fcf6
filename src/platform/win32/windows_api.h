// The Win32 API for the backend's sources, and only for them. <windows.h>
// names many of its functions with macros that would rename the platform
// layer's own functions of the same names (CopyFile, DeleteFile,
// SendMessage, MessageBox, LoadLibrary, ...); they are undone here, once,
// and the backend calls the "A" functions by their full names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

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
