// vbmp3.dll: the exported functions, the worker thread that decodes ahead and
// owns the waveOut device, and the track files.
//
// Threads: the exports only change shared state under g_lock and wake the
// worker; the worker does every device and codec call. vbmp3_close (and an
// open over a playing track) waits for the worker to let go of the track it
// plays from; vbmp3_free waits for the worker to end.
#define VBMP3_DECLARE_EXPORTS
#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstring>
#include <new>
#include <vector>

#include "../core/pcm.h"
#include "../core/track.h"
#include "../vbmp3.h"
#include "acmdecode.h"

using namespace vbmp3;

namespace {

// Device queue: kDeviceBuffers of 30 ms each. The volume is applied when a
// buffer is handed to the device, so a change is heard after at most this
// much; the decoded read-ahead (kReadAheadSeconds) holds no gain.
const int kDeviceBuffers = 4;
const int kBufferDivisor = 33;  // sample rate / 33 = 30 ms
const int kReadAheadSeconds = 2;
// Samples kept of what went to the device, for the spectrum of what is heard.
const size_t kHistoryFrames = 65536;
// The worker looks at the device position this often while playing.
const DWORD kPollMs = 25;

CRITICAL_SECTION g_lock;
volatile LONG g_volLeft = 100;
volatile LONG g_volRight = 100;

struct Lock {
  Lock() { EnterCriticalSection(&g_lock); }
  ~Lock() { LeaveCriticalSection(&g_lock); }
};

// An open file, mapped into memory for as long as the track is open.
struct Track {
  HANDLE file = INVALID_HANDLE_VALUE;
  HANDLE mapping = nullptr;
  const uint8_t* view = nullptr;
  size_t size = 0;
  TrackMeta meta;
  // Whether a codec takes the stream and a device exists: found out by the
  // worker right after the open (guarded by g_lock).
  bool checked = false;
  bool codec = false;
  bool device = false;
  uint32_t serial = 0;  // tells tracks apart after one is freed
  ~Track() {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

// Everything below is guarded by g_lock.
struct Shared {
  bool inited = false;
  HANDLE thread = nullptr;
  HANDLE wake = nullptr;  // exports -> worker
  HANDLE ack = nullptr;   // worker -> vbmp3_close
  bool quit = false;
  Track* track = nullptr;
  Track* held = nullptr;      // the track the worker is playing from
  uint32_t serials = 0;
  int mode = VBMP3_STOPPED;   // what vbmp3_getState reports
  uint32_t gen = 0;           // bumped by every vbmp3_play
  uint32_t unloadReq = 0, unloadAck = 0;
  uint64_t heard = 0;         // frames the device has played (this playback)
  int32_t trackSeconds = 0;
  int rate = 0, channels = 0;
  // Ring of the samples (after the gain) that went to the device; it ends at
  // absolute frame histEnd of the current playback.
  std::vector<int16_t> hist;
  uint64_t histEnd = 0;
};
Shared g;

// ---- text conversion through the ANSI code page -------------------------

std::string ansiFromUtf16(const char16_t* text, size_t count, void*) {
  if (count == 0) return std::string();
  const wchar_t* w = reinterpret_cast<const wchar_t*>(text);
  const int n = WideCharToMultiByte(CP_ACP, 0, w, int(count), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, int(count), &out[0], n, nullptr, nullptr);
  return out;
}

bool ansiLeadByte(uint8_t b, void*) { return IsDBCSLeadByte(b) != FALSE; }

TextHooks ansiHooks() {
  TextHooks h;
  h.fromUtf16 = ansiFromUtf16;
  h.isLeadByte = ansiLeadByte;
  return h;
}

// ---- opening files --------------------------------------------------------

typedef DWORD(WINAPI* GetFullPathNameW_fn)(LPCWSTR, DWORD, LPWSTR, LPWSTR*);

// The wide form of an ANSI path, with the \\?\ prefix when it is too long
// for the plain form.
std::vector<wchar_t> widePath(const char* path) {
  std::vector<wchar_t> none;
  const int n = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  if (n <= 1) return none;
  std::vector<wchar_t> w(size_t(n), 0);
  if (MultiByteToWideChar(CP_ACP, 0, path, -1, w.data(), n) <= 0) return none;
  const size_t len = size_t(n - 1);
  const bool prefixed = len >= 4 && w[0] == L'\\' && w[1] == L'\\' && w[2] == L'?' && w[3] == L'\\';
  if (len < MAX_PATH - 12 || prefixed) return w;
  GetFullPathNameW_fn full = reinterpret_cast<GetFullPathNameW_fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFullPathNameW")));
  std::vector<wchar_t> abs;
  if (full) {
    const DWORD need = full(w.data(), 0, nullptr, nullptr);
    if (need > 0) {
      abs.assign(size_t(need) + 1, 0);
      const DWORD got = full(w.data(), need + 1, abs.data(), nullptr);
      if (got == 0 || got > need) abs.clear();
      else abs.resize(got + 1);
    }
  }
  if (abs.empty()) abs = w;
  std::vector<wchar_t> out;
  const wchar_t* rest = abs.data();
  if (abs.size() > 2 && abs[0] == L'\\' && abs[1] == L'\\') {
    static const wchar_t unc[] = L"\\\\?\\UNC\\";
    out.assign(unc, unc + 8);
    rest += 2;
  } else {
    static const wchar_t local[] = L"\\\\?\\";
    out.assign(local, local + 4);
  }
  while (*rest) out.push_back(*rest++);
  out.push_back(0);
  return out;
}

HANDLE openFile(const char* path) {
  std::vector<wchar_t> w = widePath(path);
  HANDLE h = INVALID_HANDLE_VALUE;
  if (!w.empty()) {
    h = CreateFileW(w.data(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return h;
  }
  // Windows 95: CreateFileW exists but does nothing.
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Whether the codec takes a stream format, asked once per format: asking
// means loading the codec drivers, which takes longer than parsing a file.
bool codecAvailable(const FrameHeader& ref) {
  struct Known { int version, rate, channels; bool ok; };
  static Known known[16];
  static int count = 0;
  {
    Lock l;
    for (int i = 0; i < count; ++i)
      if (known[i].version == int(ref.version) && known[i].rate == ref.sampleRate && known[i].channels == ref.channels)
        return known[i].ok;
  }
  const bool ok = AcmDecoder::available(ref);
  Lock l;
  if (count < 16) known[count++] = Known{int(ref.version), ref.sampleRate, ref.channels, ok};
  return ok;
}

Track* loadTrack(const char* path) {
  if (path == nullptr || *path == 0) return nullptr;
  Track* t = new (std::nothrow) Track;
  if (!t) return nullptr;
  t->file = openFile(path);
  if (t->file == INVALID_HANDLE_VALUE) { delete t; return nullptr; }
  DWORD high = 0;
  const DWORD low = GetFileSize(t->file, &high);
  // Mapped whole: files of 1 GB and more are not taken.
  if ((low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) || high != 0 || low == 0 ||
      low >= 0x40000000u) {
    delete t;
    return nullptr;
  }
  t->size = low;
  t->mapping = CreateFileMappingA(t->file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (t->mapping) t->view = static_cast<const uint8_t*>(MapViewOfFile(t->mapping, FILE_MAP_READ, 0, 0, 0));
  if (!t->view) { delete t; return nullptr; }
  if (!analyzeTrack(t->view, t->size, ansiHooks(), t->meta)) { delete t; return nullptr; }
  return t;
}

// ---- the worker -----------------------------------------------------------

// Decoded samples waiting for the device (no gain yet).
class PcmFifo {
 public:
  void reset(size_t capacity) { buf_.assign(capacity, 0); head_ = count_ = 0; }
  size_t size() const { return count_; }
  size_t room() const { return buf_.size() - count_; }
  void push(const int16_t* p, size_t n) {
    const size_t cap = buf_.size();
    const size_t tail = (head_ + count_) % cap;
    const size_t first = n < cap - tail ? n : cap - tail;
    std::memcpy(&buf_[tail], p, first * sizeof *p);
    std::memcpy(&buf_[0], p + first, (n - first) * sizeof *p);
    count_ += n;
  }
  void pop(int16_t* p, size_t n) {
    const size_t cap = buf_.size();
    const size_t first = n < cap - head_ ? n : cap - head_;
    std::memcpy(p, &buf_[head_], first * sizeof *p);
    std::memcpy(p + first, &buf_[0], (n - first) * sizeof *p);
    head_ = (head_ + n) % cap;
    count_ -= n;
  }

 private:
  std::vector<int16_t> buf_;
  size_t head_ = 0, count_ = 0;
};

class Worker {
 public:
  void run();

 private:
  void start(Track* t, bool paused);
  void stop();
  void pump();
  void decodeAhead();
  void feedDevice();
  uint64_t devicePosition();
  uint64_t elapsedFrames() const;
  void finish();

  HANDLE waveEvent_ = nullptr;
  HWAVEOUT wave_ = nullptr;
  WAVEHDR hdr_[kDeviceBuffers];
  std::vector<int16_t> bufs_[kDeviceBuffers];
  bool queued_[kDeviceBuffers] = {};
  AcmDecoder dec_;
  PcmFifo fifo_;
  std::vector<int16_t> chunk_;
  Track* track_ = nullptr;
  uint32_t gen_ = 0;
  bool active_ = false, paused_ = false;
  size_t bufFrames_ = 0;
  int channels_ = 0, rate_ = 0;
  uint64_t written_ = 0;    // frames handed to the device
  uint64_t completed_ = 0;  // frames of buffers the device returned
  DWORD drainedAt_ = 0;     // when the last buffer came back
  // Time spent playing (pauses left out), by the system clock.
  DWORD startedAt_ = 0, pausedAt_ = 0, pausedFor_ = 0;
};

// Frames that real time allows to have been played so far. Some sinks (a
// null device, for one) take samples as fast as they are given; the worker
// does not feed them much faster than real time, and reports no position
// beyond it.
uint64_t Worker::elapsedFrames() const {
  const DWORD now = paused_ ? pausedAt_ : timeGetTime();
  const DWORD ms = now - startedAt_ - pausedFor_;
  return uint64_t(ms) * uint64_t(rate_) / 1000;
}

void Worker::start(Track* t, bool paused) {
  stop();
  if (!t) return;
  const FrameHeader& ref = t->meta.first;
  if (!dec_.open(t->view, t->meta.audioBegin, t->meta.audioEnd, ref)) return;
  WAVEFORMATEX f;
  AcmDecoder::pcmFormat(ref, f);
  if (waveOutOpen(&wave_, WAVE_MAPPER, &f, DWORD_PTR(waveEvent_), 0, CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    wave_ = nullptr;
    dec_.close();
    return;
  }
  track_ = t;
  channels_ = ref.channels;
  rate_ = ref.sampleRate;
  bufFrames_ = size_t(rate_ / kBufferDivisor);
  fifo_.reset(size_t(rate_) * size_t(channels_) * kReadAheadSeconds + dec_.maxChunkSamples());
  for (int i = 0; i < kDeviceBuffers; ++i) {
    bufs_[i].assign(bufFrames_ * size_t(channels_), 0);
    std::memset(&hdr_[i], 0, sizeof hdr_[i]);
    hdr_[i].lpData = reinterpret_cast<LPSTR>(bufs_[i].data());
    hdr_[i].dwBufferLength = DWORD(bufs_[i].size() * 2);
    waveOutPrepareHeader(wave_, &hdr_[i], sizeof hdr_[i]);
    queued_[i] = false;
  }
  written_ = completed_ = 0;
  drainedAt_ = 0;
  active_ = true;
  paused_ = false;
  startedAt_ = timeGetTime();
  pausedFor_ = 0;
  if (paused) {
    waveOutPause(wave_);
    paused_ = true;
    pausedAt_ = startedAt_;
  }
  {
    Lock l;
    g.rate = rate_;
    g.channels = channels_;
    g.hist.assign(kHistoryFrames * size_t(channels_), 0);
    g.histEnd = 0;
  }
  decodeAhead();
  feedDevice();
}

void Worker::stop() {
  if (wave_) {
    waveOutReset(wave_);
    for (int i = 0; i < kDeviceBuffers; ++i) {
      if (hdr_[i].dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(wave_, &hdr_[i], sizeof hdr_[i]);
      queued_[i] = false;
    }
    waveOutClose(wave_);
    wave_ = nullptr;
  }
  dec_.close();
  active_ = false;
  paused_ = false;
  track_ = nullptr;
}

void Worker::decodeAhead() {
  // A few chunks per round, so commands are never kept waiting long.
  for (int round = 0; round < 4 && !dec_.finished(); ++round) {
    if (fifo_.room() < dec_.maxChunkSamples()) break;
    chunk_.clear();
    dec_.decodeSome(chunk_);
    // Whole frames only (a codec could hand out an odd count at the end).
    const size_t n = chunk_.size() - chunk_.size() % size_t(channels_);
    if (n > fifo_.room()) break;  // cannot happen with the room check above
    fifo_.push(chunk_.data(), n);
  }
}

void Worker::feedDevice() {
  const bool last = dec_.finished();
  for (int i = 0; i < kDeviceBuffers; ++i) {
    if (queued_[i] && (hdr_[i].dwFlags & WHDR_DONE)) {
      queued_[i] = false;
      completed_ += hdr_[i].dwBufferLength / DWORD(2 * channels_);
      if (completed_ >= written_) drainedAt_ = GetTickCount();
    }
  }
  // Real time plus the queue, plus 0.2 % for a device whose clock runs a
  // little faster than the system's (sound cards are off by well under
  // that), so a real device never waits for samples.
  const uint64_t real = elapsedFrames();
  const uint64_t allowed = real + real / 500 + uint64_t(kDeviceBuffers) * bufFrames_;
  for (int i = 0; i < kDeviceBuffers; ++i) {
    WAVEHDR& h = hdr_[i];
    if (queued_[i]) continue;
    if (written_ >= allowed) break;
    size_t frames = fifo_.size() / size_t(channels_);
    if (frames > bufFrames_) frames = bufFrames_;
    if (frames < bufFrames_ && !last) break;  // wait for a full buffer
    if (frames == 0) break;
    fifo_.pop(bufs_[i].data(), frames * size_t(channels_));
    applyGain(bufs_[i].data(), frames, channels_, int(g_volLeft), int(g_volRight));
    {
      Lock l;
      // Only for the playback the exports asked for last (a play may have
      // started over while this buffer was being made).
      if (g.gen == gen_ && g.hist.size() == kHistoryFrames * size_t(channels_)) {
        const size_t ch = size_t(channels_);
        for (size_t f = 0; f < frames; ++f) {
          const size_t slot = size_t((g.histEnd + f) % kHistoryFrames) * ch;
          for (size_t c = 0; c < ch; ++c) g.hist[slot + c] = bufs_[i][f * ch + c];
        }
        g.histEnd += frames;
      }
    }
    h.dwBufferLength = DWORD(frames * size_t(channels_) * 2);
    h.dwFlags &= ~DWORD(WHDR_DONE);
    if (waveOutWrite(wave_, &h, sizeof h) != MMSYSERR_NOERROR) {
      // The device refused: count the samples as played so the end is seen.
      completed_ += frames;
      written_ += frames;
      continue;
    }
    queued_[i] = true;
    written_ += frames;
  }
}

uint64_t Worker::devicePosition() {
  MMTIME t;
  std::memset(&t, 0, sizeof t);
  // Bytes: every driver has them (Wine answers TIME_SAMPLES in bytes).
  t.wType = TIME_BYTES;
  uint64_t pos = completed_;
  if (waveOutGetPosition(wave_, &t, sizeof t) == MMSYSERR_NOERROR) {
    const uint64_t frameBytes = uint64_t(2 * channels_);
    uint64_t bytes = 0;
    bool known = true;
    if (t.wType == TIME_BYTES) bytes = t.u.cb;
    else if (t.wType == TIME_SAMPLES) bytes = uint64_t(t.u.sample) * frameBytes;
    else if (t.wType == TIME_MS) bytes = uint64_t(t.u.ms) * uint64_t(rate_) / 1000 * frameBytes;
    else known = false;
    if (known) {
      // The 32-bit byte counter wraps after about 6 hours at 48 kHz
      // stereo; the counted buffers tell which turn it is on.
      const uint64_t doneBytes = completed_ * frameBytes;
      while (bytes + 0x80000000ull < doneBytes) bytes += 0x100000000ull;
      pos = bytes / frameBytes;
    }
  }
  if (pos > written_) pos = written_;
  const uint64_t real = elapsedFrames();
  return pos < real ? pos : real;
}

void Worker::finish() {
  {
    Lock l;
    if (g.gen == gen_ && g.mode != VBMP3_STOPPED) {
      g.mode = VBMP3_STOPPED;
      g.heard = written_;
    }
  }
  stop();
}

void Worker::pump() {
  decodeAhead();
  feedDevice();
  const uint64_t pos = devicePosition();
  {
    Lock l;
    if (g.gen == gen_ && g.mode != VBMP3_STOPPED) g.heard = pos;
  }
  bool anyQueued = false;
  for (int i = 0; i < kDeviceBuffers; ++i) anyQueued = anyQueued || queued_[i];
  if (dec_.finished() && fifo_.size() < size_t(channels_) && !anyQueued) {
    // Every buffer came back; the position says when the last sample was
    // played (some devices return buffers early), with a limit in case it
    // never gets there.
    if (written_ == 0 || pos >= written_ || GetTickCount() - drainedAt_ > 500) finish();
  }
}

void Worker::run() {
  waveEvent_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // Load the device driver and the codecs now rather than on the first play.
  waveOutGetNumDevs();
  FrameHeader common;
  const uint8_t mpeg1[4] = {0xFF, 0xFB, 0x90, 0x44};  // 128 kbit/s, 44.1 kHz stereo
  if (parseFrameHeader(mpeg1, common)) codecAvailable(common);
  for (;;) {
    HANDLE handles[2] = {g.wake, waveEvent_};
    WaitForMultipleObjects(waveEvent_ ? 2 : 1, handles, FALSE, active_ ? kPollMs : INFINITE);
    bool quit, unload, check = false;
    uint32_t gen, unloadReq, serial = 0;
    int mode;
    Track* t;
    FrameHeader ref;
    {
      Lock l;
      quit = g.quit;
      unloadReq = g.unloadReq;
      unload = g.unloadAck != unloadReq;
      gen = g.gen;
      mode = g.mode;
      t = g.track;
      if (t && !t->checked) {
        check = true;
        ref = t->meta.first;
        serial = t->serial;
      }
      // A track is only used outside the lock once claimed here; the
      // exports wait for the worker before freeing a claimed track.
      if (!quit && !unload && t && gen != gen_ && mode != VBMP3_STOPPED) g.held = t;
    }
    if (quit) break;
    if (unload) {
      stop();
      Lock l;
      g.held = nullptr;
      g.unloadAck = unloadReq;
      SetEvent(g.ack);
      continue;
    }
    if (check) {
      // Outside the lock, on copies: loading drivers can take a while, and
      // the track may be closed meanwhile.
      const bool codec = codecAvailable(ref);
      const bool device = waveOutGetNumDevs() > 0;
      Lock l;
      if (g.track && g.track->serial == serial) {
        g.track->codec = codec;
        g.track->device = device;
        g.track->checked = true;
      }
    }
    if (gen != gen_) {
      gen_ = gen;
      if (mode == VBMP3_STOPPED) {
        stop();
      } else {
        start(t, mode == VBMP3_PAUSED);
        if (!active_) {
          Lock l;
          if (g.gen == gen_) g.mode = VBMP3_STOPPED;
        }
      }
    } else if (mode == VBMP3_STOPPED && active_) {
      stop();
    }
    if (!active_) {
      Lock l;
      g.held = nullptr;
      continue;
    }
    if (mode == VBMP3_PAUSED && !paused_) {
      waveOutPause(wave_);
      pausedAt_ = timeGetTime();
      paused_ = true;
    } else if (mode == VBMP3_PLAYING && paused_) {
      waveOutRestart(wave_);
      pausedFor_ += timeGetTime() - pausedAt_;
      paused_ = false;
    }
    if (!paused_) pump();
    if (!active_) {  // the track ended
      Lock l;
      g.held = nullptr;
    }
  }
  stop();
  if (waveEvent_) CloseHandle(waveEvent_);
  waveEvent_ = nullptr;
}

DWORD WINAPI workerMain(LPVOID) {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  Worker* w = new (std::nothrow) Worker;
  if (w) {
    w->run();
    delete w;
  }
  return 0;
}

// Asks the worker to drop the open track, waits until it has, then frees it.
void unloadTrack() {
  Track* t;
  uint32_t req = 0;
  bool held;
  {
    Lock l;
    t = g.track;
    g.track = nullptr;
    g.mode = VBMP3_STOPPED;
    g.heard = 0;
    g.trackSeconds = 0;
    // A track the worker is not playing from can go at once (the worker may
    // be busy loading drivers, which need not be waited for).
    held = t && g.held == t;
    if (held) req = ++g.unloadReq;
  }
  if (!held) {
    delete t;
    return;
  }
  SetEvent(g.wake);
  bool acked = false;
  for (int i = 0; i < 100 && !acked; ++i) {
    WaitForSingleObject(g.ack, 100);
    Lock l;
    acked = int32_t(g.unloadAck - req) >= 0;
  }
  // A worker that never answers may still read the file: keep it mapped.
  if (acked) delete t;
}

void zeroBands(int32_t* left, int32_t* right) {
  if (left) std::memset(left, 0, sizeof(int32_t) * VBMP3_SPECTRUM_BANDS);
  if (right) std::memset(right, 0, sizeof(int32_t) * VBMP3_SPECTRUM_BANDS);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) InitializeCriticalSection(&g_lock);
  else if (reason == DLL_PROCESS_DETACH) DeleteCriticalSection(&g_lock);
  return TRUE;
}

uint8_t VBMP3_CALL vbmp3_setVolume(int32_t left, int32_t right) {
  if (!validVolume(left) || !validVolume(right)) return 0;
  InterlockedExchange(&g_volLeft, left);
  InterlockedExchange(&g_volRight, right);
  return 1;
}

uint8_t VBMP3_CALL vbmp3_init(void) {
  Lock l;
  if (g.inited) return 1;
  g.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g.ack = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  g.quit = false;
  g.track = nullptr;
  g.mode = VBMP3_STOPPED;
  g.heard = 0;
  g.unloadReq = g.unloadAck = 0;
  DWORD id = 0;
  if (g.wake && g.ack) g.thread = CreateThread(nullptr, 0, workerMain, nullptr, 0, &id);
  if (!g.thread) {
    if (g.wake) CloseHandle(g.wake);
    if (g.ack) CloseHandle(g.ack);
    g.wake = g.ack = nullptr;
    return 0;
  }
  g.inited = true;
  return 1;
}

uint8_t VBMP3_CALL vbmp3_free(void) {
  HANDLE thread;
  {
    Lock l;
    if (!g.inited) return 0;
    g.quit = true;
    thread = g.thread;
  }
  SetEvent(g.wake);
  bool ok = WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
  if (!ok) {
    // Nothing of the library may run once this returns.
    TerminateThread(thread, 1);
    WaitForSingleObject(thread, 1000);
  }
  CloseHandle(thread);
  Lock l;
  CloseHandle(g.wake);
  CloseHandle(g.ack);
  if (ok) delete g.track;
  g.track = nullptr;
  g.thread = g.wake = g.ack = nullptr;
  g.inited = false;
  g.mode = VBMP3_STOPPED;
  g.heard = 0;
  std::vector<int16_t>().swap(g.hist);
  return ok ? 1 : 0;
}

uint8_t VBMP3_CALL vbmp3_open(const char* ansiPath, TrackInfo* info) {
  if (info) std::memset(info, 0, sizeof *info);
  {
    Lock l;
    if (!g.inited) return 0;
  }
  unloadTrack();
  Track* t = loadTrack(ansiPath);
  if (!t) return 0;
  const TrackMeta& m = t->meta;
  if (info) {
    std::memcpy(info->Title, m.title.data(), m.title.size() < 127 ? m.title.size() : 127);
    std::memcpy(info->Artist, m.artist.data(), m.artist.size() < 127 ? m.artist.size() : 127);
    info->Channels = m.channels;
    info->BitRate = m.bitrateKbps;
    info->SamplingRate = m.sampleRate;
    info->Seconds = m.seconds;
  }
  Lock l;
  t->serial = ++g.serials;
  g.track = t;
  g.mode = VBMP3_STOPPED;
  g.heard = 0;
  g.trackSeconds = m.seconds;
  g.rate = m.sampleRate;
  g.channels = m.channels;
  SetEvent(g.wake);  // the worker looks for a codec and a device now
  return 1;
}

uint8_t VBMP3_CALL vbmp3_close(void) {
  {
    Lock l;
    if (!g.inited) return 0;
  }
  unloadTrack();
  return 1;
}

uint8_t VBMP3_CALL vbmp3_play(void) {
  // The worker checks codec and device right after the open. Only right
  // after init, while it is still loading the drivers, can that take a
  // moment; a check that does not come in time counts as a yes, and the
  // worker then ends the playback (state 0) if it cannot play.
  for (int waited = 0;; waited += 5) {
    {
      Lock l;
      if (!g.inited || !g.track) return 0;
      if (g.track->checked || waited >= 500) break;
    }
    Sleep(5);
  }
  {
    Lock l;
    if (!g.inited || !g.track) return 0;
    // Still unknown: play, and the worker ends it (state 0) if it cannot.
    if (g.track->checked && (!g.track->codec || !g.track->device)) return 0;
    ++g.gen;
    g.mode = VBMP3_PLAYING;
    g.heard = 0;
    g.histEnd = 0;
  }
  SetEvent(g.wake);
  return 1;
}

uint8_t VBMP3_CALL vbmp3_stop(void) {
  {
    Lock l;
    if (!g.inited) return 0;
    g.mode = VBMP3_STOPPED;
    g.heard = 0;
  }
  SetEvent(g.wake);
  return 1;
}

uint8_t VBMP3_CALL vbmp3_pause(void) {
  {
    Lock l;
    if (!g.inited || g.mode == VBMP3_STOPPED) return 0;
    g.mode = VBMP3_PAUSED;
  }
  SetEvent(g.wake);
  return 1;
}

uint8_t VBMP3_CALL vbmp3_restart(void) {
  {
    Lock l;
    if (!g.inited || g.mode == VBMP3_STOPPED) return 0;
    g.mode = VBMP3_PLAYING;
  }
  SetEvent(g.wake);
  return 1;
}

int32_t VBMP3_CALL vbmp3_getState(int32_t* seconds) {
  Lock l;
  if (seconds) *seconds = 0;
  if (!g.inited) return VBMP3_STOPPED;
  if (seconds && g.track) *seconds = heardSeconds(g.heard, g.rate, g.trackSeconds);
  return g.mode;
}

int32_t VBMP3_CALL vbmp3_getSpectrum(int32_t* left, int32_t* right) {
  zeroBands(left, right);
  if (!left || !right) return 0;
  std::vector<int16_t> window;
  int channels, rate;
  {
    Lock l;
    if (!g.inited) return 0;
    if (g.mode != VBMP3_PLAYING || g.channels <= 0 || g.hist.size() != kHistoryFrames * size_t(g.channels))
      return 1;
    channels = g.channels;
    rate = g.rate;
    // The kFftSize frames that end where the device is now.
    const uint64_t end = g.heard < g.histEnd ? g.heard : g.histEnd;
    const uint64_t oldest = g.histEnd > kHistoryFrames ? g.histEnd - kHistoryFrames : 0;
    uint64_t begin = end > uint64_t(kFftSize) ? end - uint64_t(kFftSize) : 0;
    if (begin < oldest) begin = oldest;
    if (end <= begin) return 1;
    window.assign(size_t(end - begin) * size_t(channels), 0);
    for (uint64_t f = begin; f < end; ++f) {
      const size_t slot = size_t(f % kHistoryFrames) * size_t(channels);
      for (int c = 0; c < channels; ++c)
        window[size_t(f - begin) * size_t(channels) + size_t(c)] = g.hist[slot + size_t(c)];
    }
  }
  computeSpectrum(window.data(), window.size() / size_t(channels), channels, rate, left, right);
  return 1;
}

}  // extern "C"
