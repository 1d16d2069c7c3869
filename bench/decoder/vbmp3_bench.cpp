// Benchmarks of vbmp3 under Wine.
//   vbmp3_bench noop                      start and exit (the Wine overhead)
//   vbmp3_bench decode <file> <passes>    the ACM decoding path, all frames
//   vbmp3_bench open <file> <times>       vbmp3_open through the DLL
//   vbmp3_bench play <file> <seconds>     process CPU while the DLL plays
// Each prints "key value" lines that run.sh collects.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/track.h"
#include "vbmp3.h"
#include "win/acmdecode.h"

namespace {

double nowMs() {
  LARGE_INTEGER f, c;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

double cpuMs() {
  FILETIME a, b, k, u;
  GetProcessTimes(GetCurrentProcess(), &a, &b, &k, &u);
  auto ms = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0; };
  return ms(k) + ms(u);
}

std::vector<uint8_t> readAll(const char* path) {
  std::vector<uint8_t> v;
  FILE* f = std::fopen(path, "rb");
  if (!f) return v;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) v.insert(v.end(), buf, buf + n);
  std::fclose(f);
  return v;
}

int decode(const char* path, int passes) {
  std::vector<uint8_t> file = readAll(path);
  vbmp3::TrackMeta m;
  if (!vbmp3::analyzeTrack(file.data(), file.size(), vbmp3::TextHooks(), m)) return 1;
  std::vector<int16_t> pcm;
  pcm.reserve(size_t(m.totalSamples) * size_t(m.channels) + 1000000);
  size_t samples = 0;
  const double c0 = cpuMs(), t0 = nowMs();
  for (int i = 0; i < passes; ++i) {
    vbmp3::AcmDecoder dec;
    if (!dec.open(file.data(), m.audioBegin, m.audioEnd, m.first)) return 1;
    pcm.clear();
    while (dec.decodeSome(pcm)) {}
    samples = pcm.size();
  }
  const double wall = nowMs() - t0, cpu = cpuMs() - c0;
  std::printf("decode_audio_seconds %.3f\n", double(samples) / m.channels / m.sampleRate);
  std::printf("decode_passes %d\n", passes);
  std::printf("decode_wall_ms_per_pass %.2f\n", wall / passes);
  std::printf("decode_cpu_ms_per_pass %.2f\n", cpu / passes);
  return 0;
}

struct Dll {
  HMODULE h = LoadLibraryA("vbmp3.dll");
  template <class F> F get(const char* n) { return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(h, n))); }
};

int openTimes(const char* path, int times) {
  Dll d;
  if (!d.h) return 1;
  auto init = d.get<vbmp3_init_fn>("vbmp3_init");
  auto open = d.get<vbmp3_open_fn>("vbmp3_open");
  auto fr = d.get<vbmp3_free_fn>("vbmp3_free");
  init();
  TrackInfo ti;
  // The first open loads the codec and device drivers; timed separately.
  double t0 = nowMs();
  if (!open(path, &ti)) return 1;
  std::printf("open_first_ms %.2f\n", nowMs() - t0);
  double total = 0, worst = 0;
  for (int i = 0; i < times; ++i) {
    t0 = nowMs();
    open(path, &ti);
    const double d = nowMs() - t0;
    total += d;
    if (d > worst) worst = d;
  }
  std::printf("open_seconds %d\n", ti.Seconds);
  std::printf("open_mean_ms %.2f\nopen_max_ms %.2f\n", total / times, worst);
  fr();
  return 0;
}

// CPU time of each thread of this process, by thread id.
struct ThreadCpu { DWORD id; double ms; };
std::vector<ThreadCpu> threadTimes() {
  std::vector<ThreadCpu> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  THREADENTRY32 te;
  te.dwSize = sizeof te;
  for (BOOL ok = Thread32First(snap, &te); ok; ok = Thread32Next(snap, &te)) {
    if (te.th32OwnerProcessID != GetCurrentProcessId()) continue;
    HANDLE h = OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
    if (!h) continue;
    FILETIME a, b, k, u;
    if (GetThreadTimes(h, &a, &b, &k, &u)) {
      auto ms = [](const FILETIME& t) { return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0; };
      out.push_back({te.th32ThreadID, ms(k) + ms(u)});
    }
    CloseHandle(h);
  }
  CloseHandle(snap);
  return out;
}

int play(const char* path, int seconds) {
  Dll d;
  if (!d.h) return 1;
  auto init = d.get<vbmp3_init_fn>("vbmp3_init");
  auto open = d.get<vbmp3_open_fn>("vbmp3_open");
  auto playFn = d.get<vbmp3_play_fn>("vbmp3_play");
  auto state = d.get<vbmp3_getState_fn>("vbmp3_getState");
  auto fr = d.get<vbmp3_free_fn>("vbmp3_free");
  const std::vector<ThreadCpu> beforeInit = threadTimes();
  init();
  // The thread init starts is the library's worker; the waveOut and audio
  // driver threads come later, with the first device use.
  DWORD worker = 0;
  for (const ThreadCpu& t : threadTimes()) {
    bool old = false;
    for (const ThreadCpu& b : beforeInit) old = old || b.id == t.id;
    if (!old && !worker) worker = t.id;
  }
  std::printf("play_worker_thread %lu\n", (unsigned long)worker);
  TrackInfo ti;
  if (!open(path, &ti) || !playFn()) return 1;
  Sleep(500);  // past the start
  const std::vector<ThreadCpu> before = threadTimes();
  const double c0 = cpuMs(), t0 = nowMs();
  int32_t s = 0;
  // The player asks for the state once a second; so does this loop.
  while (nowMs() - t0 < seconds * 1000.0) {
    Sleep(1000);
    if (state(&s) != 1) break;
  }
  const double wall = nowMs() - t0, cpu = cpuMs() - c0;
  // Per thread, to tell the library's worker from the system's audio threads.
  for (const ThreadCpu& t : threadTimes()) {
    double start = 0;
    for (const ThreadCpu& b : before) if (b.id == t.id) start = b.ms;
    if (t.ms - start > 0)
      std::printf("play_thread_%lu_cpu_ms %.1f%s\n", (unsigned long)t.id, t.ms - start, t.id == worker ? " (library worker)" : "");
  }
  std::printf("play_wall_ms %.0f\nplay_cpu_ms %.1f\nplay_cpu_percent %.3f\nplay_position_s %d\n", wall, cpu,
              100.0 * cpu / wall, s);
  fr();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "noop") == 0) return 0;
  if (argc >= 4 && std::strcmp(argv[1], "decode") == 0) return decode(argv[2], std::atoi(argv[3]));
  if (argc >= 4 && std::strcmp(argv[1], "open") == 0) return openTimes(argv[2], std::atoi(argv[3]));
  if (argc >= 4 && std::strcmp(argv[1], "play") == 0) return play(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: vbmp3_bench noop | decode <file> <passes> | open <file> <n> | play <file> <s>\n");
  return 2;
}
