// A stand-in for vbmp3.dll that the end-to-end tests put beside the player.
// It plays nothing: a track is a length in seconds that runs down in real time.
// Its behaviour comes from vbmp3_fake.ini beside the DLL, read again at every
// call, and every call is appended to vbmp3_fake.log beside the DLL:
//   @<GetTickCount64> pid=<process> vbmp3_<name>(<arguments>) = <result>[ <outputs>]
// Keys of vbmp3_fake.ini (key=value, '#' starts a comment):
//   init, free, close, stop, setVolume   result (default 1)
//   open     auto (default): 1 for an existing regular file, else 0; or a number
//   play     auto: 1 when a track is open, else 0;   pause: auto = 1 while playing;
//   restart  auto: 1 while paused; any of them may be given a fixed number
//   getState auto: the state of the model; a number is returned instead (the
//            position is still written)
//   seconds, title, artist, channels, bitrate, samplingrate   the track model
//            (defaults 3, the file name without extension, "Fake Artist", 2, 128, 44100)
//   spectrum auto: moving values (5..94) while playing, zeros otherwise; always:
//            moving values in every state; or a number put in every entry
//   spectrum_result  return value of vbmp3_getSpectrum (default 1)
//   spectrum_entries bands written per channel (default and most 255)
//   delay_<name>     milliseconds the call sleeps before answering
//   log_polls        0: getState and getSpectrum are not logged
// A section [track <file name>] overrides open/seconds/title/artist/channels/
// bitrate/samplingrate for files of that name (case-insensitive, UTF-8).
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#include <windows.h>

#include <cstdint>
#include "../../vbmp3/vbmp3.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace {


HINSTANCE g_self = nullptr;
CRITICAL_SECTION g_lock;

// The model.
bool g_open = false;
int g_state = 0;          // 0 stopped/ended, 1 playing, 2 paused
int g_length = 0;         // seconds of the open track
ULONGLONG g_startTick = 0;  // tick at which position 0 would have been, while playing
ULONGLONG g_frozenMs = 0;   // position while paused or stopped

std::wstring besideDll(const wchar_t* file) {
  wchar_t p[MAX_PATH * 2] = {};
  GetModuleFileNameW(g_self, p, MAX_PATH * 2);
  wchar_t* s = wcsrchr(p, L'\\');
  if (s) s[1] = 0;
  return std::wstring(p) + file;
}

std::string lower(std::string s) {
  for (auto& c : s)
    if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
  return s;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

struct Script {
  std::map<std::string, std::string> global;
  std::map<std::string, std::map<std::string, std::string>> tracks;  // by lower-case file name
  std::string get(const std::string& k, const std::string& def) const {
    auto it = global.find(k);
    return it == global.end() ? def : it->second;
  }
  std::string track(const std::string& file, const std::string& k, const std::string& def) const {
    auto t = tracks.find(lower(file));
    if (t != tracks.end()) {
      auto it = t->second.find(k);
      if (it != t->second.end()) return it->second;
    }
    return get(k, def);
  }
};

Script readScript() {
  Script s;
  std::wstring path = besideDll(L"vbmp3_fake.ini");
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return s;
  std::string all;
  char b[4096];
  size_t n;
  while ((n = fread(b, 1, sizeof b, f)) > 0) all.append(b, n);
  fclose(f);
  if (all.size() >= 3 && (unsigned char)all[0] == 0xEF && (unsigned char)all[1] == 0xBB && (unsigned char)all[2] == 0xBF) all.erase(0, 3);
  std::map<std::string, std::string>* cur = &s.global;
  size_t p = 0;
  while (p < all.size()) {
    size_t e = all.find('\n', p);
    if (e == std::string::npos) e = all.size();
    std::string line = trim(all.substr(p, e - p));
    p = e + 1;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    if (line[0] == '[') {
      std::string sec = trim(line.substr(1, line.find(']') == std::string::npos ? std::string::npos : line.find(']') - 1));
      if (lower(sec.substr(0, 6)) == "track ") cur = &s.tracks[lower(trim(sec.substr(6)))];
      else cur = &s.global;
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string v = trim(line.substr(eq + 1));
    size_t hash = v.find(" #");
    if (hash != std::string::npos) v = trim(v.substr(0, hash));
    (*cur)[trim(line.substr(0, eq))] = v;
  }
  return s;
}

std::string acpToUtf8(const char* a) {
  if (!a) return "(null)";
  int wn = MultiByteToWideChar(CP_ACP, 0, a, -1, nullptr, 0);
  std::wstring w(wn, L'\0');
  MultiByteToWideChar(CP_ACP, 0, a, -1, &w[0], wn);
  int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
  if (!s.empty() && s.back() == 0) s.pop_back();
  return s;
}

void utf8ToAcp(const std::string& u, char* out, size_t size) {
  int wn = MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, nullptr, 0);
  std::wstring w(wn, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, u.c_str(), -1, &w[0], wn);
  memset(out, 0, size);
  WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, out, (int)size - 1, nullptr, nullptr);
  out[size - 1] = 0;
}

void logLine(const std::string& text) {
  char head[64];
  snprintf(head, sizeof head, "@%llu pid=%lu ", (unsigned long long)GetTickCount64(), (unsigned long)GetCurrentProcessId());
  std::string line = head + text + "\r\n";
  std::wstring path = besideDll(L"vbmp3_fake.log");
  HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD put = 0;
  WriteFile(h, line.data(), (DWORD)line.size(), &put, nullptr);
  FlushFileBuffers(h);
  CloseHandle(h);
}

std::string quoted(const std::string& s) {
  std::string o = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') o += '\\';
    o += c;
  }
  return o + "\"";
}

int num(const std::string& v, int def) {
  if (v.empty()) return def;
  char* end = nullptr;
  long r = strtol(v.c_str(), &end, 0);
  return end && end != v.c_str() ? (int)r : def;
}

// A configured result, or `autoValue` when the script says auto (or nothing).
int result(const Script& s, const char* key, int autoValue) {
  std::string v = s.get(key, "auto");
  if (v == "auto") return autoValue;
  return num(v, autoValue);
}

void delay(const Script& s, const char* name) {
  int ms = num(s.get(std::string("delay_") + name, ""), 0);
  if (ms > 0) Sleep((DWORD)ms);
}

// Brings the state up to date with the clock: a playing track that ran out has ended.
void advance() {
  if (g_state != 1) return;
  ULONGLONG ms = GetTickCount64() - g_startTick;
  if (ms >= (ULONGLONG)g_length * 1000) {
    g_state = 0;
    g_frozenMs = (ULONGLONG)g_length * 1000;
  }
}

int positionSeconds() {
  if (!g_open) return 0;
  ULONGLONG ms = g_state == 1 ? GetTickCount64() - g_startTick : g_frozenMs;
  int sec = (int)(ms / 1000);
  return sec > g_length ? g_length : sec;
}

std::string baseName(const std::string& path) {
  size_t s = path.find_last_of("\\/");
  return s == std::string::npos ? path : path.substr(s + 1);
}

struct Guard {
  Guard() { EnterCriticalSection(&g_lock); }
  ~Guard() { LeaveCriticalSection(&g_lock); }
};

std::string stateName() { return g_open ? std::to_string(g_state) : "closed"; }

}  // namespace

extern "C" {

uint8_t __stdcall vbmp3_init() {
  Guard g;
  Script s = readScript();
  delay(s, "init");
  int r = result(s, "init", 1);
  logLine("vbmp3_init() = " + std::to_string(r));
  return (uint8_t)r;
}

uint8_t __stdcall vbmp3_free() {
  Guard g;
  Script s = readScript();
  delay(s, "free");
  int r = result(s, "free", 1);
  g_open = false;
  g_state = 0;
  logLine("vbmp3_free() = " + std::to_string(r));
  return (uint8_t)r;
}

uint8_t __stdcall vbmp3_open(const char* ansiPath, TrackInfo* info) {
  Guard g;
  Script s = readScript();
  delay(s, "open");
  std::string path = acpToUtf8(ansiPath);
  std::string file = baseName(path);
  bool exists = false;
  if (ansiPath) {
    // Through the wide API, so that a path past MAX_PATH is looked up whole too.
    int wn = MultiByteToWideChar(CP_ACP, 0, ansiPath, -1, nullptr, 0);
    std::wstring w(wn > 0 ? wn : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansiPath, -1, &w[0], wn);
    w.resize(wcslen(w.c_str()));
    if (w.size() >= MAX_PATH && w.compare(0, 4, L"\\\\?\\") != 0 && w.size() > 2 && w[1] == L':') w = L"\\\\?\\" + w;
    DWORD a = w.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(w.c_str());
    exists = a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }
  std::string ov = s.track(file, "open", "auto");
  int r = ov == "auto" ? (exists ? 1 : 0) : num(ov, 0);
  std::string extra;
  if (r) {
    std::string stem = file.substr(0, file.find_last_of('.') == std::string::npos ? file.size() : file.find_last_of('.'));
    std::string title = s.track(file, "title", stem);
    std::string artist = s.track(file, "artist", "Fake Artist");
    int seconds = num(s.track(file, "seconds", "3"), 3);
    if (info) {
      utf8ToAcp(title, info->Title, sizeof info->Title);
      utf8ToAcp(artist, info->Artist, sizeof info->Artist);
      info->Channels = num(s.track(file, "channels", "2"), 2);
      info->BitRate = num(s.track(file, "bitrate", "128"), 128);
      info->SamplingRate = num(s.track(file, "samplingrate", "44100"), 44100);
      info->Seconds = seconds;
    }
    g_open = true;
    g_state = 0;
    g_length = seconds;
    g_frozenMs = 0;
    extra = " title=" + quoted(title) + " seconds=" + std::to_string(seconds);
  }
  logLine("vbmp3_open(" + quoted(path) + (info ? "" : ", null") + ") = " + std::to_string(r) + extra);
  return (uint8_t)r;
}

// Declared void by some callers: the result in the return register does no harm there.
uint8_t __stdcall vbmp3_close() {
  Guard g;
  Script s = readScript();
  delay(s, "close");
  int r = result(s, "close", 1);
  g_open = false;
  g_state = 0;
  g_frozenMs = 0;
  logLine("vbmp3_close() = " + std::to_string(r));
  return (uint8_t)r;
}

uint8_t __stdcall vbmp3_play() {
  Guard g;
  Script s = readScript();
  delay(s, "play");
  int r = result(s, "play", g_open ? 1 : 0);
  if (r && g_open) {
    g_state = 1;
    g_startTick = GetTickCount64();
  }
  logLine("vbmp3_play() = " + std::to_string(r));
  return (uint8_t)r;
}

uint8_t __stdcall vbmp3_stop() {
  Guard g;
  Script s = readScript();
  delay(s, "stop");
  int r = result(s, "stop", 1);
  if (r && g_open) {
    g_state = 0;
    g_frozenMs = 0;
  }
  logLine("vbmp3_stop() = " + std::to_string(r));
  return (uint8_t)r;
}

uint8_t __stdcall vbmp3_pause() {
  Guard g;
  Script s = readScript();
  delay(s, "pause");
  advance();
  int r = result(s, "pause", g_open && g_state == 1 ? 1 : 0);
  if (r && g_open && g_state == 1) {
    g_frozenMs = GetTickCount64() - g_startTick;
    g_state = 2;
  }
  logLine("vbmp3_pause() = " + std::to_string(r));
  return (uint8_t)r;
}

uint8_t __stdcall vbmp3_restart() {
  Guard g;
  Script s = readScript();
  delay(s, "restart");
  advance();
  int r = result(s, "restart", g_open && g_state == 2 ? 1 : 0);
  if (r && g_open && g_state == 2) {
    g_startTick = GetTickCount64() - g_frozenMs;
    g_state = 1;
  }
  logLine("vbmp3_restart() = " + std::to_string(r));
  return (uint8_t)r;
}

int32_t __stdcall vbmp3_getState(int32_t* seconds) {
  Guard g;
  Script s = readScript();
  delay(s, "getState");
  advance();
  int state = g_open ? g_state : 0;
  int pos = positionSeconds();
  int r = result(s, "getState", state);
  if (seconds) *seconds = pos;
  if (num(s.get("log_polls", "1"), 1))
    logLine("vbmp3_getState(" + std::string(seconds ? "&s" : "null") + ") = " + std::to_string(r) + " seconds=" + std::to_string(pos) +
            " model=" + stateName());
  return r;
}

uint8_t __stdcall vbmp3_setVolume(int32_t l, int32_t r) {
  Guard g;
  Script s = readScript();
  delay(s, "setVolume");
  int res = result(s, "setVolume", 1);
  logLine("vbmp3_setVolume(" + std::to_string(l) + "," + std::to_string(r) + ") = " + std::to_string(res));
  return (uint8_t)res;
}

int32_t __stdcall vbmp3_getSpectrum(int32_t* left255, int32_t* right255) {
  Guard g;
  Script s = readScript();
  delay(s, "getSpectrum");
  advance();
  std::string mode = s.get("spectrum", "auto");
  int entries = num(s.get("spectrum_entries", "255"), 255);
  if (entries > 255) entries = 255;  // the caller's arrays hold 255 bands
  bool moving = mode == "always" || (mode == "auto" && g_open && g_state == 1);
  bool fixed = mode != "auto" && mode != "always";
  int fixedValue = num(mode, 0);
  ULONGLONG t = GetTickCount64() / 100;  // changes ten times a second
  for (int i = 0; i < entries; ++i) {
    int l = 0, r = 0;
    if (fixed) {
      l = r = fixedValue;
    } else if (moving) {
      l = 5 + (int)((t * 7 + (ULONGLONG)i * 37) % 90);
      r = 5 + (int)((t * 11 + (ULONGLONG)i * 53) % 90);
    }
    if (left255) left255[i] = l;
    if (right255) right255[i] = r;
  }
  int res = num(s.get("spectrum_result", "1"), 1);
  if (num(s.get("log_polls", "1"), 1)) {
    char b[160];
    snprintf(b, sizeof b, "vbmp3_getSpectrum(%s,%s) = %d L0=%d L150=%d R0=%d R150=%d", left255 ? "&l" : "null",
             right255 ? "&r" : "null", res, left255 ? left255[0] : -1, left255 && entries > 150 ? left255[150] : -1,
             right255 ? right255[0] : -1, right255 && entries > 150 ? right255[150] : -1);
    logLine(b);
  }
  return res;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = inst;
    InitializeCriticalSection(&g_lock);
    DisableThreadLibraryCalls(inst);
  }
  return TRUE;
}
