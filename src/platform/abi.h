// The calling convention of the archiver library interface: the platform's
// standard one, __stdcall on 32-bit Windows, the only one elsewhere.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define ARCAPI __stdcall
#else
#define ARCAPI
#endif
