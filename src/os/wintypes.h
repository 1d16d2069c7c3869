// The few Windows types and constants the program's logic uses. On Windows they
// come from <windows.h>; the native build (unit tests) gets equivalents here.
#pragma once
#include <cstdint>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// The seam and the form layer use these names for their own members.
#undef MessageBox
#undef GetProfileString
#else
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = unsigned int;
using BOOL = int;
using CHAR = char;
using HANDLE = void*;

struct OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
};
struct LUID {
  DWORD LowPart;
  LONG HighPart;
};
struct LUID_AND_ATTRIBUTES {
  LUID Luid;
  DWORD Attributes;
};
struct TOKEN_PRIVILEGES {
  DWORD PrivilegeCount;
  LUID_AND_ATTRIBUTES Privileges[1];
};

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr int IDOK = 1;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_NOT_ALL_ASSIGNED = 1300;
constexpr UINT EWX_SHUTDOWN = 1;
constexpr UINT EWX_POWEROFF = 8;
constexpr DWORD TOKEN_ADJUST_PRIVILEGES = 0x20;
constexpr DWORD TOKEN_QUERY = 0x8;
constexpr DWORD SE_PRIVILEGE_ENABLED = 2;
constexpr UINT WM_DROPFILES = 0x233;
constexpr UINT SEM_FAILCRITICALERRORS = 1;
constexpr UINT SEM_NOGPFAULTERRORBOX = 2;
#endif

static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA is 148 bytes");
static_assert(sizeof(TOKEN_PRIVILEGES) == 16, "one-entry TOKEN_PRIVILEGES is 16 bytes");
