// The status line and the identification of the Windows platform.
#include <cstdio>
#include <cstring>

#include "ui/form1.h"
#include "ui/platform.h"

int32_t OsKind = 0;
char OsNameBuffer[255];

void TForm1::ShowStatus(const String& text) { StatusBar1->SetSimpleText(text); }

void TForm1::FormClick(TObject*) { StatusBar1->SetSimpleText(" "); }

void TForm1::IdentifyPlatform() {
  OSVERSIONINFOA vi;
  std::memset(&vi, 0, sizeof vi);
  vi.dwOSVersionInfoSize = sizeof vi;
  sys::os().GetVersionExA(&vi);
  switch (vi.dwPlatformId) {
    case 0:
      StatusBar1->SetSimpleText("Windows3.1");
      OsKind = 0;
      break;
    case 1:
      if (vi.dwMinorVersion == 0)
        StatusBar1->SetSimpleText("Microsoft Windows95");
      else if (vi.dwMinorVersion == 10 && vi.dwBuildNumber == 0x040A07CE)
        StatusBar1->SetSimpleText("Microsoft Windows98");
      else if (vi.dwMinorVersion == 10)
        StatusBar1->SetSimpleText("Windows 98 Second Edition");
      else if (vi.dwMinorVersion == 90)
        StatusBar1->SetSimpleText("Windows Millennium Edition");
      else
        StatusBar1->SetSimpleText("OSのバージョン不明");
      OsKind = 1;
      break;
    case 2:
      if (vi.dwMajorVersion == 5 && vi.dwMinorVersion == 0) {
        StatusBar1->SetSimpleText("Microsoft Windows 2000");
      } else if (vi.dwMajorVersion == 5) {
        StatusBar1->SetSimpleText("Microsoft Windows XP");
      } else {
#ifdef _WIN32
        wsprintfA(OsNameBuffer, "WindowsNT %d.%d", int(vi.dwMajorVersion), int(vi.dwMinorVersion));
#else
        std::snprintf(OsNameBuffer, sizeof OsNameBuffer, "WindowsNT %d.%d", int(vi.dwMajorVersion),
                      int(vi.dwMinorVersion));
#endif
        StatusBar1->SetSimpleText(OsNameBuffer);
      }
      OsKind = 2;
      break;
    default:
      break;  // another platform: the status line is left as it is
  }
}
