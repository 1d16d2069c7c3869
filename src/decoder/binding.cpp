#include "decoder/binding.h"

sys::Handle DecoderLib = nullptr;
bool DecoderReleased = false;
int32_t SpectrumLeft[255];
int32_t SpectrumRight[255];

void* vbmp3::LookupRaw(const char* name) {
  if (!DecoderLib || DecoderReleased) return nullptr;
  return sys::os().GetProcAddress(DecoderLib, name);
}
