// vbmp3.dll: MP3 playback library used by the Vantrel player.
// The player loads the library by name and looks the functions up with
// GetProcAddress; this header gives the record layout and the signatures.
#ifndef VBMP3_VBMP3_H
#define VBMP3_VBMP3_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#define VBMP3_CALL __stdcall
#else
#define VBMP3_CALL
#endif

#pragma pack(push, 1)
// What vbmp3_open reports about a track. Texts are in the ANSI code page,
// NUL-terminated within their 128 bytes.
struct TrackInfo {
  char Title[128];
  char Artist[128];
  int32_t Channels;      // 1 or 2
  int32_t BitRate;       // kbit/s; the average for VBR files
  int32_t SamplingRate;  // Hz
  int32_t Seconds;       // whole seconds of playing time
};
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(TrackInfo) == 272, "TrackInfo is 272 bytes");
static_assert(offsetof(TrackInfo, Title) == 0, "Title at 0");
static_assert(offsetof(TrackInfo, Artist) == 128, "Artist at 128");
static_assert(offsetof(TrackInfo, Channels) == 256, "Channels at 256");
static_assert(offsetof(TrackInfo, BitRate) == 260, "BitRate at 260");
static_assert(offsetof(TrackInfo, SamplingRate) == 264, "SamplingRate at 264");
static_assert(offsetof(TrackInfo, Seconds) == 268, "Seconds at 268");
#endif

enum { VBMP3_STOPPED = 0, VBMP3_PLAYING = 1, VBMP3_PAUSED = 2 };
enum { VBMP3_SPECTRUM_BANDS = 255 };

#ifdef __cplusplus
extern "C" {
#endif
// Results of type uint8_t are booleans: nonzero means success.
typedef uint8_t(VBMP3_CALL* vbmp3_init_fn)(void);
typedef uint8_t(VBMP3_CALL* vbmp3_free_fn)(void);
typedef uint8_t(VBMP3_CALL* vbmp3_open_fn)(const char* ansiPath, TrackInfo* info);
typedef uint8_t(VBMP3_CALL* vbmp3_close_fn)(void);
typedef uint8_t(VBMP3_CALL* vbmp3_play_fn)(void);
typedef uint8_t(VBMP3_CALL* vbmp3_stop_fn)(void);
typedef uint8_t(VBMP3_CALL* vbmp3_pause_fn)(void);
typedef uint8_t(VBMP3_CALL* vbmp3_restart_fn)(void);
typedef int32_t(VBMP3_CALL* vbmp3_getState_fn)(int32_t* seconds);
typedef uint8_t(VBMP3_CALL* vbmp3_setVolume_fn)(int32_t left, int32_t right);
typedef int32_t(VBMP3_CALL* vbmp3_getSpectrum_fn)(int32_t* left, int32_t* right);

#ifdef VBMP3_DECLARE_EXPORTS
uint8_t VBMP3_CALL vbmp3_init(void);
uint8_t VBMP3_CALL vbmp3_free(void);
uint8_t VBMP3_CALL vbmp3_open(const char* ansiPath, TrackInfo* info);
uint8_t VBMP3_CALL vbmp3_close(void);
uint8_t VBMP3_CALL vbmp3_play(void);
uint8_t VBMP3_CALL vbmp3_stop(void);
uint8_t VBMP3_CALL vbmp3_pause(void);
uint8_t VBMP3_CALL vbmp3_restart(void);
int32_t VBMP3_CALL vbmp3_getState(int32_t* seconds);
uint8_t VBMP3_CALL vbmp3_setVolume(int32_t left, int32_t right);
int32_t VBMP3_CALL vbmp3_getSpectrum(int32_t* left, int32_t* right);
#endif
#ifdef __cplusplus
}
#endif

#endif
