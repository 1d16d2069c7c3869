// libFuzzer target over everything in the core that reads file bytes:
// tags, frame headers, Xing/VBRI, the frame search and walk, text decoding.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/mp3scan.h"
#include "core/tags.h"
#include "core/track.h"

namespace {
// Code page hooks of a double-byte code page: every byte from 0x81 leads.
std::string wideToBytes(const char16_t* t, size_t n, void*) {
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    if (t[i] < 0x80) s += char(t[i]);
    else { s += char(0x81 + (t[i] % 0x7E)); s += char(0x40 + (t[i] % 0x3F)); }
  }
  return s;
}
bool highLead(uint8_t b, void*) { return b >= 0x81; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly 'size' bytes, so any read past the end is caught.
  std::vector<uint8_t> buf(data, data + size);
  const uint8_t* p = buf.data();

  vbmp3::TextHooks plain;
  vbmp3::TextHooks dbcs;
  dbcs.fromUtf16 = wideToBytes;
  dbcs.isLeadByte = highLead;

  for (const vbmp3::TextHooks* hooks : {&plain, &dbcs}) {
    vbmp3::TrackMeta m;
    if (vbmp3::analyzeTrack(p, size, *hooks, m)) {
      if (m.title.size() > vbmp3::kMaxTextBytes || m.artist.size() > vbmp3::kMaxTextBytes) __builtin_trap();
      if (m.audioBegin > m.audioEnd || m.audioEnd > size) __builtin_trap();
      if (m.channels != 1 && m.channels != 2) __builtin_trap();
      // Walk the frames the way the decoder does.
      vbmp3::FrameCursor cur(p, m.audioBegin, m.audioEnd, m.first);
      size_t off;
      vbmp3::FrameHeader h;
      size_t last = 0;
      while (cur.next(off, h)) {
        if (off < last || off + size_t(h.frameBytes) > m.audioEnd) __builtin_trap();
        last = off + size_t(h.frameBytes);
      }
    }
    vbmp3::readId3v2(p, size, *hooks);
    vbmp3::readId3v1(p, size, *hooks);
    if (size > 0) {
      std::string t = vbmp3::decodeTextFrame(p, size, *hooks);
      if (t.size() > vbmp3::kMaxTextBytes) __builtin_trap();
      std::string cut = vbmp3::cutText(std::string(reinterpret_cast<const char*>(p), size), 30, *hooks);
      if (cut.size() > 30) __builtin_trap();
    }
  }
  // Headers and Xing/VBRI at every position of a short input.
  for (size_t i = 0; i + 4 <= size && i < 64; ++i) {
    vbmp3::FrameHeader h;
    if (vbmp3::parseFrameHeader(p + i, h)) {
      vbmp3::parseXing(p + i, size - i, h);
      vbmp3::parseVbri(p + i, size - i, h);
    }
  }
  return 0;
}
