// Frame headers, the run-of-frames search and the frame cursor.
#include <gtest/gtest.h>

#include "core/mp3scan.h"
#include "helpers.h"

using namespace vbmp3;
using namespace testing_vbmp3;

namespace {

struct HeaderCase {
  const char* what;
  uint8_t b[4];
  bool valid;
  MpegVersion version;
  int kbps, rate, channels, frameBytes, spf;
};

const HeaderCase kHeaders[] = {
    {"MPEG-1 128k 44.1k joint", {0xFF, 0xFB, 0x90, 0x44}, true, MpegVersion::Mpeg1, 128, 44100, 2, 417, 1152},
    {"MPEG-1 128k 44.1k padded", {0xFF, 0xFB, 0x92, 0x44}, true, MpegVersion::Mpeg1, 128, 44100, 2, 418, 1152},
    {"MPEG-1 320k 32k with CRC", {0xFF, 0xFA, 0xE8, 0x00}, true, MpegVersion::Mpeg1, 320, 32000, 2, 1440, 1152},
    {"MPEG-1 192k 48k mono", {0xFF, 0xFB, 0xB4, 0xC0}, true, MpegVersion::Mpeg1, 192, 48000, 1, 576, 1152},
    {"MPEG-2 64k 22.05k mono", {0xFF, 0xF3, 0x80, 0xC4}, true, MpegVersion::Mpeg2, 64, 22050, 1, 208, 576},
    {"MPEG-2.5 32k 11.025k", {0xFF, 0xE3, 0x40, 0xC4}, true, MpegVersion::Mpeg25, 32, 11025, 1, 208, 576},
    {"MPEG-2.5 16k 8k", {0xFF, 0xE3, 0x28, 0xC4}, true, MpegVersion::Mpeg25, 16, 8000, 1, 144, 576},
    {"Layer II", {0xFF, 0xFD, 0x90, 0x44}, false, {}, 0, 0, 0, 0, 0},
    {"Layer I", {0xFF, 0xFF, 0x90, 0x44}, false, {}, 0, 0, 0, 0, 0},
    {"reserved layer", {0xFF, 0xF9, 0x90, 0x44}, false, {}, 0, 0, 0, 0, 0},
    {"reserved version", {0xFF, 0xEB, 0x90, 0x44}, false, {}, 0, 0, 0, 0, 0},
    {"free format", {0xFF, 0xFB, 0x00, 0x44}, false, {}, 0, 0, 0, 0, 0},
    {"bad bit rate", {0xFF, 0xFB, 0xF0, 0x44}, false, {}, 0, 0, 0, 0, 0},
    {"bad sampling rate", {0xFF, 0xFB, 0x9C, 0x44}, false, {}, 0, 0, 0, 0, 0},
    {"reserved emphasis", {0xFF, 0xFB, 0x90, 0x46}, false, {}, 0, 0, 0, 0, 0},
    {"no sync", {0xFF, 0x7B, 0x90, 0x44}, false, {}, 0, 0, 0, 0, 0},
};

TEST(FrameHeader, ParsesLayerThreeAndRefusesEverythingElse) {
  for (const HeaderCase& c : kHeaders) {
    SCOPED_TRACE(c.what);
    FrameHeader h;
    ASSERT_EQ(parseFrameHeader(c.b, h), c.valid);
    if (!c.valid) continue;
    EXPECT_EQ(h.version, c.version);
    EXPECT_EQ(h.bitrateKbps, c.kbps);
    EXPECT_EQ(h.sampleRate, c.rate);
    EXPECT_EQ(h.channels, c.channels);
    EXPECT_EQ(h.frameBytes, c.frameBytes);
    EXPECT_EQ(h.samplesPerFrame, c.spf);
  }
}

// A stream of n frames with header bytes b (frame length from the header).
Bytes frames(const uint8_t b[4], int n) {
  FrameHeader h;
  Bytes out;
  if (!parseFrameHeader(b, h)) {
    // Layer I/II headers: fixed 417-byte frames, as a Layer II file at
    // 128k/44.1k would have.
    h.frameBytes = 417;
  }
  for (int i = 0; i < n; ++i) {
    Bytes f(size_t(h.frameBytes), 0x55);
    std::copy(b, b + 4, f.begin());
    out.insert(out.end(), f.begin(), f.end());
  }
  return out;
}

Bytes dropTail(Bytes b, size_t n) {
  b.resize(b.size() - n);
  return b;
}

TEST(FindFirstFrame, NeedsARunOfConsistentFrames) {
  const uint8_t l3[4] = {0xFF, 0xFB, 0x90, 0x44};
  const uint8_t l2[4] = {0xFF, 0xFD, 0x90, 0x44};
  const uint8_t mono22[4] = {0xFF, 0xF3, 0x80, 0xC4};
  struct Case {
    const char* what;
    Bytes data;
    bool found;
    size_t at;
  } cases[] = {
      {"clean stream", frames(l3, 10), true, 0},
      {"junk before the stream", cat({Bytes(333, 0xAB), frames(l3, 10)}), true, 333},
      {"false sync in the junk", cat({Bytes{0xFF, 0xFB, 0x90, 0x44, 1, 2, 3}, Bytes(100, 0), frames(l3, 6)}), true, 107},
      {"two frames filling the range exactly", frames(l3, 2), true, 0},
      {"three frames, the last one cut", dropTail(frames(l3, 3), 10), false, 0},
      {"Layer II stream", frames(l2, 10), false, 0},
      {"frames of two streams alternating",
       cat({frames(l3, 1), frames(mono22, 1), frames(l3, 1), frames(mono22, 1), frames(l3, 1)}), false, 0},
      {"empty", Bytes(), false, 0},
      {"all 0xFF", Bytes(5000, 0xFF), false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    size_t pos = 999;
    FrameHeader h;
    const bool found = findFirstFrame(c.data.data(), 0, c.data.size(), pos, h);
    EXPECT_EQ(found, c.found);
    if (found) {
      EXPECT_EQ(pos, c.at);
    }
  }
}

TEST(FrameCursor, SkipsDamageAndStopsAtTheEnd) {
  const uint8_t l3[4] = {0xFF, 0xFB, 0x90, 0x44};
  const uint8_t mono22[4] = {0xFF, 0xF3, 0x80, 0xC4};
  FrameHeader ref;
  ASSERT_TRUE(parseFrameHeader(l3, ref));
  struct Case {
    const char* what;
    Bytes data;
    int frames;
  } cases[] = {
      {"ten frames", frames(l3, 10), 10},
      {"garbage between frames", cat({frames(l3, 4), Bytes(1000, 0x11), frames(l3, 5)}), 9},
      {"a lone sync word inside garbage", cat({frames(l3, 3), Bytes{0xFF, 0xFB, 0x90, 0x44}, Bytes(50, 0), frames(l3, 3)}), 6},
      {"last frame cut short", dropTail(frames(l3, 5), 100), 4},
      {"a frame of another stream in between",
       cat({frames(l3, 3), frames(mono22, 1), frames(l3, 3)}), 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameCursor cur(c.data.data(), 0, c.data.size(), ref);
    size_t off;
    FrameHeader h;
    int n = 0;
    while (cur.next(off, h)) {
      ASSERT_LE(off + size_t(h.frameBytes), c.data.size());
      ++n;
    }
    EXPECT_EQ(n, c.frames);
    EXPECT_FALSE(cur.next(off, h)) << "stays at the end";
  }
}

TEST(FrameCursor, CountsWhatLameWrote) {
  // The Xing frame count of a lame file equals the frames after it.
  for (const char* name : {"vbr.mp3", "cbr44s.mp3", "s48.mp3", "s8.mp3"}) {
    SCOPED_TRACE(name);
    Bytes b = fixture(name);
    bool ok = false;
    TrackMeta m = analyze(b, &ok);
    ASSERT_TRUE(ok);
    FrameCursor cur(b.data(), m.audioBegin, m.audioEnd, m.first);
    size_t off;
    FrameHeader h;
    uint64_t n = 0;
    while (cur.next(off, h)) ++n;
    EXPECT_EQ(n * uint64_t(m.first.samplesPerFrame), m.totalSamples);
    EXPECT_EQ(cur.skippedBytes(), 0u);
  }
}

}  // namespace
