#pragma once
#include <cstdint>

extern int32_t OsKind;        // 0 Win32s, 1 Windows 95 family, 2 NT family
extern char OsNameBuffer[255];  // name of an NT version the table does not list
