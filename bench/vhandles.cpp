// vhandles.exe: reads Windows process ids from stdin, one a line, and answers
// each with one line "pid handles windows": the number of handles the process
// holds (from the system's handle table, NtQuerySystemInformation
// SystemHandleInformation, which Wine answers from its server; -1 when that
// fails) and the number of windows it owns (top-level windows and all their
// descendants). An empty line or the end of input ends it. The benchmarks and
// the soak test keep it running, so a sample costs no program start.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct HandleEntry {  // SYSTEM_HANDLE_ENTRY
  ULONG OwnerPid;
  BYTE ObjectType;
  BYTE HandleFlags;
  USHORT HandleValue;
  PVOID ObjectPointer;
  ULONG AccessMask;
};

struct HandleTable {  // SYSTEM_HANDLE_INFORMATION
  ULONG Count;
  HandleEntry Handle[1];
};

typedef LONG(WINAPI* QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);
const ULONG SystemHandleInformation = 16;

long handlesOf(DWORD pid) {
  static auto query = (QuerySystemInformation)(void*)GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation");
  if (!query) return -1;
  std::vector<unsigned char> buf(1 << 16);
  for (int tries = 0; tries < 16; ++tries) {
    ULONG need = 0;
    LONG st = query(SystemHandleInformation, buf.data(), (ULONG)buf.size(), &need);
    if (st == 0) {
      auto* t = (HandleTable*)buf.data();
      long n = 0;
      for (ULONG i = 0; i < t->Count; ++i)
        if (t->Handle[i].OwnerPid == pid) ++n;
      return n;
    }
    if (st != (LONG)0xC0000004L) return -1;  // STATUS_INFO_LENGTH_MISMATCH: a larger buffer
    buf.resize(need > buf.size() ? need + 4096 : buf.size() * 2);
  }
  return -1;
}

struct WindowCount {
  DWORD pid;
  long n;
};

BOOL CALLBACK countChild(HWND, LPARAM l) {
  ++((WindowCount*)l)->n;
  return TRUE;
}

BOOL CALLBACK countTop(HWND h, LPARAM l) {
  auto* c = (WindowCount*)l;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == c->pid) {
    ++c->n;
    EnumChildWindows(h, countChild, l);
  }
  return TRUE;
}

}  // namespace

int main() {
  char line[64];
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  while (std::fgets(line, sizeof line, stdin)) {
    DWORD pid = (DWORD)std::strtoul(line, nullptr, 10);
    if (pid == 0) break;
    WindowCount w = {pid, 0};
    EnumWindows(countTop, (LPARAM)&w);
    std::printf("%lu %ld %ld\n", (unsigned long)pid, handlesOf(pid), w.n);
  }
  return 0;
}
