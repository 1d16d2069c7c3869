// Checks vbmp3.dll the way the player uses it: loaded by name, functions
// looked up by name, real files played through the real device (under Wine,
// the ALSA null device, which consumes samples in real time).
// Usage: vbmp3_wine_test.exe <fixture folder> [group]
// Prints one line per check and a final "N passed, N failed" line.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vbmp3.h"

namespace {

int g_pass = 0, g_fail = 0;

void check(bool ok, const char* fmt, ...) {
  char msg[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(msg, sizeof msg, fmt, ap);
  va_end(ap);
  std::printf("%s %s\n", ok ? "PASS" : "FAIL", msg);
  std::fflush(stdout);
  (ok ? g_pass : g_fail)++;
}

void note(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::printf("  ");
  std::vprintf(fmt, ap);
  std::printf("\n");
  va_end(ap);
  std::fflush(stdout);
}

double nowMs() {
  static LARGE_INTEGER freq = {};
  if (!freq.QuadPart) QueryPerformanceFrequency(&freq);
  LARGE_INTEGER c;
  QueryPerformanceCounter(&c);
  return double(c.QuadPart) * 1000.0 / double(freq.QuadPart);
}

void sleepUntil(double t) {
  for (;;) {
    const double left = t - nowMs();
    if (left <= 0) return;
    Sleep(left > 2 ? DWORD(left - 1) : 0);
  }
}

struct Api {
  HMODULE dll = nullptr;
  vbmp3_init_fn init;
  vbmp3_free_fn free;
  vbmp3_open_fn open;
  vbmp3_close_fn close;
  vbmp3_play_fn play;
  vbmp3_stop_fn stop;
  vbmp3_pause_fn pause;
  vbmp3_restart_fn restart;
  vbmp3_getState_fn getState;
  vbmp3_setVolume_fn setVolume;
  vbmp3_getSpectrum_fn getSpectrum;

  template <class F>
  bool get(F& f, const char* name) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    return f != nullptr;
  }
  bool load() {
    dll = LoadLibraryA("vbmp3.dll");
    if (!dll) return false;
    bool ok = get(init, "vbmp3_init") & get(free, "vbmp3_free") & get(open, "vbmp3_open") &
              get(close, "vbmp3_close") & get(play, "vbmp3_play") & get(stop, "vbmp3_stop") &
              get(pause, "vbmp3_pause") & get(restart, "vbmp3_restart") &
              get(getState, "vbmp3_getState") & get(setVolume, "vbmp3_setVolume") &
              get(getSpectrum, "vbmp3_getSpectrum");
    return ok;
  }
};

Api api;
std::string g_dir;

// Slowest return seen per export (they must never wait on the device).
struct Slowest {
  double ms = 0;
  const char* name = "";
} g_slowest;

template <class F>
auto timed(const char* name, F f) -> decltype(f()) {
  const double t0 = nowMs();
  auto r = f();
  const double d = nowMs() - t0;
  if (d > g_slowest.ms) { g_slowest.ms = d; g_slowest.name = name; }
  return r;
}

std::string fixture(const char* name) { return g_dir + "\\" + name; }

std::vector<uint8_t> readAll(const std::string& path) {
  std::vector<uint8_t> v;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return v;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) v.insert(v.end(), buf, buf + n);
  std::fclose(f);
  return v;
}

bool writeAll(const std::string& path, const std::vector<uint8_t>& v) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(v.data(), 1, v.size(), f) == v.size();
  return std::fclose(f) == 0 && ok;
}

int32_t state(int32_t* secs = nullptr) {
  int32_t s = -1;
  const int32_t r = timed("getState", [&] { return api.getState(&s); });
  if (secs) *secs = s;
  return r;
}

struct Bands {
  int32_t l[255], r[255];
  int32_t result;
  bool allZero() const {
    for (int i = 0; i < 255; ++i) if (l[i] || r[i]) return false;
    return true;
  }
  bool inRange() const {
    for (int i = 0; i < 255; ++i) if (l[i] < 0 || l[i] > 100 || r[i] < 0 || r[i] > 100) return false;
    return true;
  }
};

Bands spectrum() {
  Bands b;
  for (int i = 0; i < 255; ++i) b.l[i] = b.r[i] = -7;
  b.result = timed("getSpectrum", [&] { return api.getSpectrum(b.l, b.r); });
  return b;
}

// Waits up to limitMs for the state to become want; returns the time taken or -1.
double waitState(int32_t want, double limitMs) {
  const double t0 = nowMs();
  while (nowMs() - t0 < limitMs) {
    if (state() == want) return nowMs() - t0;
    Sleep(5);
  }
  return -1;
}

bool recordEmpty(const TrackInfo& t) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(&t);
  for (size_t i = 0; i < sizeof t; ++i) if (p[i]) return false;
  return true;
}

// ---- groups of checks -------------------------------------------------------

void beforeInit() {
  int32_t secs = 42;
  check(api.getState(&secs) == 0 && secs == 0, "before init: getState is 0 with 0 seconds");
  check(!api.play(), "before init: play is refused");
  check(!api.pause() && !api.restart(), "before init: pause and restart are refused");
  TrackInfo ti;
  std::memset(&ti, 0x55, sizeof ti);
  check(!api.open(fixture("cbr44s.mp3").c_str(), &ti) && recordEmpty(ti), "before init: open refused, record zeroed");
  Bands b = spectrum();
  check(b.result == 0 && b.allZero(), "before init: getSpectrum gives 0 and zeros");
  check(!api.free(), "before init: free answers false");
  check(!api.setVolume(101, 50) && !api.setVolume(50, -1) && !api.setVolume(-5, 200),
        "setVolume refuses values outside 0..100");
  // Volume 0 before init: it has to hold through init, open and play.
  check(api.setVolume(0, 0), "before init: setVolume(0, 0) accepted");
}

void openRefusals() {
  struct Case { const char* name; std::string path; } cases[] = {
      {"missing file", fixture("no-such-file.mp3")},
      {"folder", fixture("folder.mp3")},
      {"empty path", ""},
      {"zero bytes", fixture("empty.mp3")},
      {"text renamed .mp3", fixture("text.mp3")},
      {"picture renamed .mp3", fixture("picture.mp3")},
  };
  for (const Case& c : cases) {
    TrackInfo ti;
    std::memset(&ti, 0x55, sizeof ti);
    const uint8_t ok = timed("open", [&] { return api.open(c.path.c_str(), &ti); });
    check(!ok && recordEmpty(ti), "open refuses a %s and zeroes the record", c.name);
    int32_t s = -1;
    check(state(&s) == 0 && s == 0 && !api.play(), "after a refused open (%s): stopped, play refused", c.name);
  }
}

void trackInfo() {
  TrackInfo ti;
  check(api.open(fixture("cbr44s.mp3").c_str(), &ti) != 0, "open cbr44s.mp3");
  check(std::strcmp(ti.Title, "Chord") == 0 && std::strcmp(ti.Artist, "Vantrel") == 0,
        "title/artist from the tag: '%s' / '%s'", ti.Title, ti.Artist);
  check(ti.Channels == 2 && ti.BitRate == 128 && ti.SamplingRate == 44100 && ti.Seconds == 3,
        "format: %d ch, %d kbit/s, %d Hz, %d s", ti.Channels, ti.BitRate, ti.SamplingRate, ti.Seconds);

  // Japanese title in an ID3v2.3 UTF-16 frame: must arrive in code page 932.
  std::vector<uint8_t> audio = readAll(fixture("notag.mp3"));
  const wchar_t title[] = L"\u30c6\u30b9\u30c8\u66f2";  // テスト曲
  std::vector<uint8_t> frame = {1, 0xFF, 0xFE};
  for (const wchar_t* p = title; *p; ++p) { frame.push_back(uint8_t(*p & 0xFF)); frame.push_back(uint8_t(*p >> 8)); }
  std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0, 'T', 'I', 'T', '2', 0, 0, 0, uint8_t(frame.size()), 0, 0};
  tag.insert(tag.end(), frame.begin(), frame.end());
  tag[9] = uint8_t(tag.size() - 10);
  tag.insert(tag.end(), audio.begin(), audio.end());
  const std::string jp = g_dir + "\\tagged-utf16.mp3";
  writeAll(jp, tag);
  char want[64] = {0};
  WideCharToMultiByte(CP_ACP, 0, title, -1, want, sizeof want, nullptr, nullptr);
  check(api.open(jp.c_str(), &ti) && std::strcmp(ti.Title, want) == 0 && ti.Artist[0] == 0,
        "UTF-16 title converted to the ANSI code page (%u): %d bytes", GetACP(), int(std::strlen(ti.Title)));

  struct Fmt { const char* file; int ch, rate, secs; } fmts[] = {
      {"mono22.mp3", 1, 22050, 3}, {"s32.mp3", 2, 32000, 3}, {"s48.mp3", 2, 48000, 3},
      {"s11.mp3", 1, 11025, 3}, {"s8.mp3", 1, 8000, 3}, {"vbr.mp3", 2, 44100, 5}};
  for (const Fmt& f : fmts) {
    const bool ok = api.open(fixture(f.file).c_str(), &ti) != 0;
    check(ok && ti.Channels == f.ch && ti.SamplingRate == f.rate && ti.Seconds == f.secs && ti.BitRate > 0,
          "%s: %d ch %d Hz %d s %d kbit/s", f.file, ti.Channels, ti.SamplingRate, ti.Seconds, ti.BitRate);
  }
  // Each sampling rate also plays.
  for (const Fmt& f : fmts) {
    api.open(fixture(f.file).c_str(), &ti);
    check(api.play() && waitState(1, 50) >= 0, "%s plays", f.file);
    Sleep(300);
    int32_t s;
    check(state(&s) == 1, "%s still playing after 300 ms", f.file);
    api.stop();
  }
  api.close();
}

// The player's clock: readings 1000 ms apart from the return of play, a
// little late each time, must step 1, 2, 3 ... with no second skipped.
void clockAndEnd() {
  TrackInfo ti;
  const bool opened = api.open(fixture("noise5.mp3").c_str(), &ti) != 0;
  check(opened && ti.Seconds == 5, "open noise5.mp3 (%d s)", ti.Seconds);
  api.setVolume(100, 100);
  const double t0 = nowMs();
  check(timed("play", [] { return api.play(); }) != 0, "play");
  int32_t s = -1;
  {
    const int32_t st_ = state(&s);
    check(st_ == 1 && s == 0, "right after play: state 1 at %d s [state %d]", s, st_);
  }
  const int lateness[] = {0, 60, 25, 45};
  int bandsMoving[4] = {0, 0, 0, 0};
  int bandReads = 0;
  for (int k = 1; k <= 4; ++k) {
    sleepUntil(t0 + k * 1000.0 + lateness[k - 1]);
    const int32_t st = state(&s);
    check(st == 1 && s == k, "tick %d (+%d ms): state %d, %d s", k, lateness[k - 1], st, s);
    // Spectrum while the noise plays, a few times between ticks.
    for (int j = 0; j < 3; ++j) {
      Bands b = spectrum();
      const int shown[4] = {0, 50, 100, 150};
      for (int i = 0; i < 4; ++i) if (b.l[shown[i]] > 0 && b.r[shown[i]] > 0) ++bandsMoving[i];
      if (!b.inRange() || b.result == 0) check(false, "spectrum values in 0..100 with a nonzero result");
      if (k == 2 && j == 0)
        note("spectrum at 2 s: L[0]=%d L[50]=%d L[100]=%d L[150]=%d L[200]=%d", b.l[0], b.l[50], b.l[100], b.l[150], b.l[200]);
      ++bandReads;
      Sleep(100);
    }
  }
  for (int i = 0; i < 4; ++i)
    check(bandsMoving[i] == bandReads, "spectrum entry %d above 0 in %d of %d readings", i * 50, bandsMoving[i], bandReads);
  // The end: state 1 until the last sample has been played.
  const double limit = 7000;
  double endAt = -1;
  while (nowMs() - t0 < limit) {
    if (state(&s) == 0) { endAt = nowMs() - t0; break; }
    Sleep(5);
  }
  note("state 0 came %.0f ms after play", endAt);
  check(endAt >= 5000 && endAt <= 5600, "natural end after the whole 5 s were heard (%.0f ms)", endAt);
  {
    const int32_t st_ = state(&s);
    check(st_ == 0 && s == 5, "after the end: state 0, final position %d s [state %d]", s, st_);
  }
  Bands b = spectrum();
  check(b.result != 0 && b.allZero(), "after the end: spectrum zeros");
  // Play again after the natural end: from the start.
  const double t1 = nowMs();
  check(api.play() != 0, "play again after the end");
  sleepUntil(t1 + 1000);
  {
    const int32_t st_ = state(&s);
    check(st_ == 1 && s == 1, "replay tick 1: %d s [state %d]", s, st_);
  }
  check(api.stop() && state(&s) == 0 && s == 0, "stop: state 0 at 0 s");
}

void pauseRestartStop() {
  TrackInfo ti;
  api.open(fixture("noise5.mp3").c_str(), &ti);
  int32_t s = -1;
  check(!api.pause() && !api.restart(), "pause and restart refused while stopped");
  check(api.stop() != 0, "stop with nothing playing is true");
  const double t0 = nowMs();
  api.play();
  sleepUntil(t0 + 1300);
  {
    const bool pre_ = timed("pause", [] { return api.pause(); });
    const int32_t st_ = state(&s);
    check(pre_ && st_ == 2 && s == 1, "pause at 1.3 s: state 2 at %d s [state %d]", s, st_);
  }
  Sleep(200);
  Bands b = spectrum();
  check(b.result != 0 && b.allZero(), "spectrum zeros while paused");
  check(api.pause() && state() == 2, "pause while paused keeps it paused (no toggle)");
  Sleep(1500);
  {
    const int32_t st_ = state(&s);
    check(st_ == 2 && s == 1, "position held during 1.5 s of pause (%d s) [state %d]", s, st_);
  }
  const double r0 = nowMs();
  check(timed("restart", [] { return api.restart(); }) && state() == 1, "restart resumes: state 1");
  check(api.restart() && state() == 1, "restart while playing: true, still playing");
  sleepUntil(r0 + 1000);
  {
    const int32_t st_ = state(&s);
    check(st_ == 1 && s == 2, "1 s after restart: %d s (1.3 s heard before the pause) [state %d]", s, st_);
  }
  b = spectrum();
  check(!b.allZero(), "spectrum moves again after restart");
  {
    const bool pre_ = timed("stop", [] { return api.stop(); });
    const int32_t st_ = state(&s);
    check(pre_ && st_ == 0 && s == 0, "stop rewinds: state 0 at %d s [state %d]", s, st_);
  }
  Sleep(100);
  check(state(&s) == 0 && s == 0, "still stopped at 0 s 100 ms later");
  check(!api.pause() && !api.restart(), "pause and restart refused after stop");
  check(api.stop() != 0, "stop again is true");
  const double t2 = nowMs();
  api.play();
  sleepUntil(t2 + 1030);
  {
    const int32_t st_ = state(&s);
    check(st_ == 1 && s == 1, "play after stop starts from the beginning (%d s at 1 s) [state %d]", s, st_);
  }
  api.pause();
  check(api.stop() && state() == 0, "stop while paused");
  api.close();
  check(state(&s) == 0 && s == 0, "after close: state 0 at 0 s");
  check(api.stop() != 0, "stop after close is true");
  check(!api.play() && !api.pause(), "play and pause refused with nothing open");
  api.close();  // nothing open: must simply return
  check(state() == 0 && api.stop(), "close with nothing open, then stop: still fine");
}

// Volume is observed through the spectrum of what goes to the device.
void volume() {
  TrackInfo ti;
  // The volume was set to 0 before init.
  api.open(fixture("noise5.mp3").c_str(), &ti);
  api.play();
  Sleep(400);
  bool zero = true;
  for (int i = 0; i < 5; ++i) { zero = zero && spectrum().allZero(); Sleep(40); }
  check(state() == 1 && zero, "volume 0 set before init holds through init, open and play (spectrum silent)");
  api.setVolume(100, 100);
  double t0 = nowMs();
  double heard = -1;
  while (nowMs() - t0 < 1000) { if (!spectrum().allZero()) { heard = nowMs() - t0; break; } Sleep(5); }
  note("volume 0 -> 100 heard after %.0f ms", heard);
  // The device queue is 120 ms; a gain applied at decode time would take
  // the whole read-ahead (2 s) to be heard.
  check(heard >= 0 && heard <= 300, "a volume rise is heard quickly (%.0f ms)", heard);
  api.setVolume(0, 0);
  t0 = nowMs();
  heard = -1;
  while (nowMs() - t0 < 1000) { if (spectrum().allZero()) { heard = nowMs() - t0; break; } Sleep(5); }
  note("volume 100 -> 0 heard after %.0f ms", heard);
  // Silent only once the whole 2048-sample spectrum window is past the cut.
  check(heard >= 0 && heard <= 300, "a volume cut is heard quickly (%.0f ms)", heard);
  api.setVolume(100, 0);
  Sleep(300);
  Bands b = spectrum();
  bool rightZero = true, leftSound = false;
  for (int i = 0; i < 255; ++i) { if (b.r[i]) rightZero = false; if (b.l[i]) leftSound = true; }
  check(rightZero && leftSound, "volume (100, 0): left heard, right silent");
  api.setVolume(0, 0);
  api.stop();
  api.close();
  api.open(fixture("noise5.mp3").c_str(), &ti);
  api.play();
  Sleep(400);
  zero = true;
  for (int i = 0; i < 5; ++i) { zero = zero && spectrum().allZero(); Sleep(40); }
  check(state() == 1 && zero, "volume 0 holds through stop, close, open and play");
  check(!api.setVolume(101, 101), "setVolume(101, 101) refused");
  Sleep(300);
  check(spectrum().allZero(), "a refused setVolume leaves the volume as it was");
  api.setVolume(100, 100);
  api.stop();
}

void pathsAndDamage() {
  TrackInfo ti;
  std::vector<uint8_t> cbr = readAll(fixture("cbr44s.mp3"));
  // A path longer than MAX_PATH.
  std::wstring wdir;
  {
    wchar_t wbase[1024];
    MultiByteToWideChar(CP_ACP, 0, g_dir.c_str(), -1, wbase, 1024);
    wdir = std::wstring(L"\\\\?\\") + wbase;
  }
  std::string longPath = g_dir;
  for (int i = 0; i < 6; ++i) {
    const std::string part = "\\long-folder-name-" + std::string(40, char('a' + i));
    longPath += part;
    wdir += std::wstring(part.begin(), part.end());
    CreateDirectoryW(wdir.c_str(), nullptr);
  }
  longPath += "\\track.mp3";
  const std::wstring wfile = wdir + L"\\track.mp3";
  HANDLE h = CreateFileW(wfile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD wrote = 0;
  if (h != INVALID_HANDLE_VALUE) { WriteFile(h, cbr.data(), DWORD(cbr.size()), &wrote, nullptr); CloseHandle(h); }
  check(api.open(longPath.c_str(), &ti) && ti.Seconds == 3, "open a %d-character path (ANSI, no prefix)", int(longPath.size()));
  check(api.play() != 0, "play from the long path");
  Sleep(300);
  check(state() == 1, "playing from the long path");
  api.stop();

  // A Japanese file name, handed over in code page 932.
  const wchar_t jname[] = L"\\\u66f2\u540d\u30c6\u30b9\u30c8.mp3";  // 曲名テスト.mp3
  wchar_t wbase[1024];
  MultiByteToWideChar(CP_ACP, 0, g_dir.c_str(), -1, wbase, 1024);
  const std::wstring jw = std::wstring(wbase) + jname;
  CopyFileW((std::wstring(wbase) + L"\\cbr44s.mp3").c_str(), jw.c_str(), FALSE);
  char jansi[1024];
  WideCharToMultiByte(CP_ACP, 0, jw.c_str(), -1, jansi, sizeof jansi, nullptr, nullptr);
  check(api.open(jansi, &ti) && ti.Seconds == 3, "open a Japanese file name in the ANSI code page");

  // Damaged files play what they can and then report 0.
  struct Damage { const char* name; std::vector<uint8_t> bytes; } cases[3];
  cases[0].name = "truncated mid-frame";
  cases[0].bytes.assign(cbr.begin(), cbr.begin() + cbr.size() / 2 + 77);
  cases[1].name = "garbage in the middle";
  cases[1].bytes = cbr;
  for (size_t i = cbr.size() / 3; i < cbr.size() / 3 + 5000; ++i) cases[1].bytes[i] = uint8_t(i * 7919 >> 3);
  cases[2].name = "frames zeroed from the middle on";
  cases[2].bytes = cbr;
  for (size_t i = cbr.size() / 2; i < cbr.size(); ++i) cases[2].bytes[i] = 0;
  for (Damage& d : cases) {
    const std::string p = g_dir + "\\damaged.mp3";
    api.close();
    writeAll(p, d.bytes);
    const bool ok = api.open(p.c_str(), &ti) != 0;
    check(ok && api.play(), "%s: opens and plays (%d s)", d.name, ti.Seconds);
    const double t = waitState(0, 5000);
    check(t >= 1000 && t < 4000, "%s: plays what it can, then state 0 after %.0f ms", d.name, t);
  }
  api.close();
}

void openOverOpen() {
  TrackInfo ti;
  api.open(fixture("noise5.mp3").c_str(), &ti);
  api.play();
  Sleep(200);
  check(timed("open", [&] { return api.open(fixture("cbr44s.mp3").c_str(), &ti); }) && ti.Seconds == 3,
        "open while another track plays");
  int32_t s;
  check(state(&s) == 0 && s == 0, "the new track is stopped at 0 s");
  check(api.play() && state() == 1, "and plays");
  Sleep(200);
  TrackInfo bad;
  check(!api.open(fixture("text.mp3").c_str(), &bad) && state() == 0 && !api.play(),
        "a refused open still closes the previous track");
}

void freeWhilePlaying() {
  TrackInfo ti;
  api.open(fixture("noise5.mp3").c_str(), &ti);
  api.play();
  Sleep(300);
  const double t0 = nowMs();
  check(api.free() != 0, "free while playing");
  note("free took %.0f ms", nowMs() - t0);
  int32_t s = 9;
  check(api.getState(&s) == 0 && s == 0 && !api.play(), "after free: stopped and refusing play");
  check(api.init() != 0, "init again after free");
  check(api.open(fixture("cbr44s.mp3").c_str(), &ti) && api.play(), "open and play after re-init");
  Sleep(200);
  check(api.free() != 0, "free again");
}

// Run in an environment without the MP3 codec or without a device: the
// file is still read, but play is refused.
void cannotPlay(const char* why) {
  TrackInfo ti;
  const bool opened = api.open(fixture("cbr44s.mp3").c_str(), &ti) != 0;
  check(opened && ti.Seconds == 3 && ti.SamplingRate == 44100 && std::strcmp(ti.Title, "Chord") == 0,
        "%s: open still reads the file (%d s, '%s')", why, ti.Seconds, ti.Title);
  // Play right after the first open: the library may still be loading the
  // drivers, and must still answer right.
  const double t0 = nowMs();
  const uint8_t played = api.play();
  note("play answered after %.0f ms", nowMs() - t0);
  int32_t s = -1;
  const int32_t st = state(&s);
  check(!played && st == 0 && s == 0, "%s: play refused, state %d at %d s", why, st, s);
  check(!api.pause() && !api.restart() && api.stop(), "%s: pause/restart refused, stop fine", why);
  Bands b = spectrum();
  check(b.result != 0 && b.allZero(), "%s: spectrum zeros", why);
  api.close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <fixture folder> [group]\n", argv[0]);
    return 2;
  }
  g_dir = argv[1];
  const std::string only = argc > 2 ? argv[2] : "";
  check(api.load(), "LoadLibraryA(\"vbmp3.dll\") and all 11 functions by name");
  if (!api.dll) return 1;
  beforeInit();
  check(timed("init", [] { return api.init(); }) != 0, "init");
  check(api.init() != 0, "init twice is harmless");
  if (only == "nocodec" || only == "nodevice") {
    cannotPlay(only == "nocodec" ? "no MP3 codec" : "no output device");
    check(api.free() != 0, "free");
    std::printf("%d passed, %d failed\n", g_pass, g_fail);
    return g_fail ? 1 : 0;
  }
  const bool all = only.empty();
  if (all || only == "volume") volume();
  api.setVolume(100, 100);
  if (all || only == "refuse") openRefusals();
  if (all || only == "info") trackInfo();
  if (all || only == "clock") clockAndEnd();
  if (all || only == "pause") pauseRestartStop();
  if (all || only == "paths") pathsAndDamage();
  if (all || only == "reopen") openOverOpen();
  std::printf("  slowest export call: %s, %.1f ms\n", g_slowest.name, g_slowest.ms);
  check(g_slowest.ms < 200, "no export other than close/free kept its caller waiting long (%.1f ms)", g_slowest.ms);
  freeWhilePlaying();
  FreeLibrary(api.dll);
  // A thread left running in the unloaded code would crash the process here,
  // before the summary line is printed.
  Sleep(500);
  std::printf("%d passed, %d failed\n", g_pass, g_fail);
  return g_fail ? 1 : 0;
}
