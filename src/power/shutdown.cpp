// Shutting Windows down when playback ends.
#include "ui/form1.h"
#include "ui/platform.h"

void TForm1::CheckBox1Click(TObject*) { Exit2->SetEnabled(CheckBox1->Checked()); }

void TForm1::WindowsS1Click(TObject*) {
  if (!CheckBox1->Checked() &&
      Application->MessageBox("電源切断してもよろしいですか？", "Vantrel For Windows", MB_YESNO | MB_ICONQUESTION) == IDNO)
    return;
  sys::Os& os = sys::os();
  switch (OsKind) {
    case 0:
      Say("このOSではこの機能は使えません");
      break;
    case 1:
      if (!os.ExitWindowsEx(EWX_SHUTDOWN, 0)) ShowStatus("Error ExitWindowEx");
      break;
    case 2:
      ShowStatus("");
      try {
        SetPrivilege("SeShutdownPrivilege", "", true);
      } catch (const Exception& e) {
        ShowStatus(e.Message);
        return;
      }
      if (!os.ExitWindowsEx(EWX_POWEROFF, 0)) ShowStatus("Error ExitWindowEx");
      try {
        SetPrivilege("SeShutdownPrivilege", "", false);
      } catch (const Exception& e) {
        ShowStatus(e.Message);
      }
      break;
  }
}

void TForm1::SetPrivilege(const char* privilege, const String& system, bool enable) {
  sys::Os& os = sys::os();
  sys::Handle token = nullptr;
  if (!os.OpenProcessToken(os.GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
    throw Exception("Error OpenProcessToken");
  const std::string systemName = os.Utf8ToAnsi(system);  // empty: the local system, passed as ""
  LUID luid{};
  if (!os.LookupPrivilegeValueA(systemName.c_str(), privilege, &luid)) {
    os.CloseHandle(token);
    throw Exception("Error LookupPrivilegeValue");
  }
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Luid = luid;
  tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  os.AdjustTokenPrivileges(token, 0, &tp, sizeof tp, nullptr, nullptr);
  const DWORD error = os.GetLastError();
  os.CloseHandle(token);
  if (error != 0) throw Exception("Error AdjustTokenPrivileges");
}
