// vbmp3cli.exe <dll>: calls a vbmp3.dll's functions by name, one command per
// line on stdin (init, free, open <path>, close, play, stop, pause, restart,
// state, volume <l> <r>, spectrum), one line of results per command on stdout.
// The tool self-tests check the stand-in decoder's model with it.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "../../vbmp3/vbmp3.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  HMODULE m = LoadLibraryA(argv[1]);
  if (!m) { printf("load failed %lu\n", GetLastError()); return 1; }
  auto fn = [&](const char* n) { return reinterpret_cast<void*>(GetProcAddress(m, n)); };
  auto u8 = [&](const char* n) { return reinterpret_cast<vbmp3_init_fn>(fn(n)); };
  char line[4096];
  printf("ready\n");
  fflush(stdout);
  while (fgets(line, sizeof line, stdin)) {
    std::string l(line);
    while (!l.empty() && (l.back() == '\n' || l.back() == '\r')) l.pop_back();
    std::string cmd = l.substr(0, l.find(' '));
    std::string rest = l.find(' ') == std::string::npos ? "" : l.substr(l.find(' ') + 1);
    if (cmd == "quit") break;
    if (cmd == "open") {
      TrackInfo ti;
      memset(&ti, 0x55, sizeof ti);
      uint8_t r = reinterpret_cast<vbmp3_open_fn>(fn("vbmp3_open"))(rest.c_str(), &ti);
      if (r) printf("%d title=%.128s artist=%.128s channels=%d bitrate=%d rate=%d seconds=%d\n", r, ti.Title, ti.Artist, ti.Channels,
                    ti.BitRate, ti.SamplingRate, ti.Seconds);
      else printf("%d\n", r);
    } else if (cmd == "state") {
      int32_t s = -1;
      int32_t r = reinterpret_cast<vbmp3_getState_fn>(fn("vbmp3_getState"))(&s);
      printf("%d %d\n", r, s);
    } else if (cmd == "volume") {
      int a = 0, b = 0;
      sscanf(rest.c_str(), "%d %d", &a, &b);
      printf("%d\n", reinterpret_cast<vbmp3_setVolume_fn>(fn("vbmp3_setVolume"))(a, b));
    } else if (cmd == "spectrum") {
      // One guard entry past the 255 bands shows whether the library writes beyond them.
      int32_t left[256], right[256];
      left[255] = right[255] = 0x7777;
      int32_t r = reinterpret_cast<vbmp3_getSpectrum_fn>(fn("vbmp3_getSpectrum"))(left, right);
      printf("%d L0=%d L50=%d L100=%d L150=%d R0=%d R50=%d R100=%d R150=%d guard=%d\n", r, left[0], left[50], left[100], left[150],
             right[0], right[50], right[100], right[150], left[255] == 0x7777 && right[255] == 0x7777);
    } else if (cmd == "close") {
      printf("%d\n", reinterpret_cast<vbmp3_close_fn>(fn("vbmp3_close"))());
    } else {
      void* f = fn(("vbmp3_" + cmd).c_str());
      if (!f) printf("unknown\n");
      else printf("%d\n", u8(("vbmp3_" + cmd).c_str())());
    }
    fflush(stdout);
  }
  return 0;
}
