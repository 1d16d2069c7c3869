// The binding to the decoder library vbmp3.dll. Every handler looks up the
// entry points it calls by name at the moment it needs them; nothing is kept
// from one run to the next. A missing library or entry point counts as a false
// result (a zero state, a zero spectrum result) and is never called through.
#pragma once
#include <cstddef>
#include <cstdint>

#include "os/os.h"

#include "vbmp3/vbmp3.h"  // TrackInfo and the calling convention, shared with the library

namespace vbmp3 {
using BoolFn = uint8_t(VBMP3_CALL*)();
using OpenFn = uint8_t(VBMP3_CALL*)(const char* path, TrackInfo* info);
using CloseFn = void(VBMP3_CALL*)();
using GetStateFn = int32_t(VBMP3_CALL*)(int32_t* seconds);
using SetVolumeFn = uint8_t(VBMP3_CALL*)(int32_t left, int32_t right);
using GetSpectrumFn = int32_t(VBMP3_CALL*)(int32_t* left, int32_t* right);

// GetProcAddress(DecoderLib, name); null when the library is missing or has
// been released.
void* LookupRaw(const char* name);
template <class F>
F Lookup(const char* name) {
  return reinterpret_cast<F>(LookupRaw(name));
}

inline bool Call(BoolFn f) { return f && f() != 0; }
inline bool Call(OpenFn f, const char* path, TrackInfo* info) { return f && f(path, info) != 0; }
inline void Call(CloseFn f) {
  if (f) f();
}
inline int32_t Call(GetStateFn f, int32_t* seconds) { return f ? f(seconds) : 0; }
inline bool Call(SetVolumeFn f, int32_t l, int32_t r) { return f && f(l, r) != 0; }
inline int32_t Call(GetSpectrumFn f, int32_t* l, int32_t* r) { return f ? f(l, r) : 0; }
}  // namespace vbmp3

extern sys::Handle DecoderLib;
extern bool DecoderReleased;  // the close sequence has unloaded the library
extern int32_t SpectrumLeft[255];
extern int32_t SpectrumRight[255];
