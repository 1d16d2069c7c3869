// Whole files: format, playing time, bit rate, and what is refused.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "helpers.h"

using namespace vbmp3;
using namespace testing_vbmp3;

namespace {

struct FileCase {
  const char* file;
  int channels, rate, kbps, seconds;
  bool vbr;
  const char* title;
  const char* artist;
};

// kbps 0: VBR, checked against the bytes and the time below.
const FileCase kFiles[] = {
    {"cbr44s.mp3", 2, 44100, 128, 3, false, "Chord", "Vantrel"},
    {"id3v1only.mp3", 2, 44100, 128, 3, false, "V1 Title", "V1 Artist"},
    {"notag.mp3", 2, 44100, 128, 3, false, "", ""},
    {"noise5.mp3", 2, 44100, 128, 5, false, "Noise", "Vantrel"},
    {"vbr.mp3", 2, 44100, 0, 5, true, "", ""},
    {"mono22.mp3", 1, 22050, 64, 3, false, "", ""},
    {"mono22-noxing.mp3", 1, 22050, 64, 3, false, "", ""},
    {"s32.mp3", 2, 32000, 128, 3, false, "", ""},
    {"s48.mp3", 2, 48000, 192, 3, false, "", ""},
    {"s11.mp3", 1, 11025, 32, 3, false, "", ""},
    {"s8.mp3", 1, 8000, 16, 3, false, "", ""},
};

TEST(AnalyzeTrack, ReadsFormatTimeAndTagsOfLameFiles) {
  for (const FileCase& c : kFiles) {
    SCOPED_TRACE(c.file);
    Bytes b = fixture(c.file);
    bool ok = false;
    TrackMeta m = analyze(b, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(m.channels, c.channels);
    EXPECT_EQ(m.sampleRate, c.rate);
    EXPECT_EQ(m.seconds, c.seconds);
    EXPECT_EQ(m.vbr, c.vbr);
    EXPECT_EQ(m.title, c.title);
    EXPECT_EQ(m.artist, c.artist);
    if (c.kbps) {
      EXPECT_EQ(m.bitrateKbps, c.kbps);
    } else {
      // The average: frame bytes over playing time.
      const double secs = double(m.totalSamples) / m.sampleRate;
      const double avg = double(m.audioEnd - m.audioBegin) * 8 / secs / 1000;
      EXPECT_NEAR(m.bitrateKbps, avg, 2.0);
      EXPECT_GT(m.bitrateKbps, 32);
      EXPECT_LT(m.bitrateKbps, 320);
    }
    EXPECT_LT(m.audioBegin, m.audioEnd);
    EXPECT_LE(m.audioEnd, b.size());
  }
}

// Replaces the frame count in the Xing header of a lame file.
Bytes withXingFrames(Bytes b, uint32_t frames) {
  bool ok;
  TrackMeta m = analyze(b, &ok);
  const size_t x = m.firstFrame + size_t(sideInfoEnd(m.first));
  EXPECT_TRUE(b[x] == 'X' || b[x] == 'I');
  Bytes n = be32(frames);
  std::copy(n.begin(), n.end(), b.begin() + long(x + 8));
  return b;
}

// Replaces the Xing frame of a lame file by a VBRI frame claiming 'frames'.
Bytes withVbri(const Bytes& lame, uint32_t frames, uint32_t bytes) {
  bool ok;
  TrackMeta m = analyze(lame, &ok);
  Bytes b(lame.begin() + long(m.firstFrame), lame.end());
  // Side information zeroed; "VBRI" 32 bytes after the header.
  std::fill(b.begin() + 4, b.begin() + long(m.audioBegin - m.firstFrame), 0);
  Bytes v = cat({str("VBRI"), Bytes{0, 1, 0x04, 0x60, 0, 75}, be32(bytes), be32(frames), Bytes{0, 0, 0, 1, 0, 1, 0, 1}});
  std::copy(v.begin(), v.end(), b.begin() + 36);
  return b;
}

uint32_t countFrames(const Bytes& b) {
  bool ok;
  TrackMeta m = analyze(b, &ok);
  FrameCursor cur(b.data(), m.audioBegin, m.audioEnd, m.first);
  size_t off;
  FrameHeader h;
  uint32_t n = 0;
  while (cur.next(off, h)) ++n;
  return n;
}

TEST(AnalyzeTrack, TakesTheTimeFromXingAndVbriHeaders) {
  const Bytes vbr = fixture("vbr.mp3");
  const uint32_t n = countFrames(vbr);
  ASSERT_GT(n, 100u);
  const uint32_t size = uint32_t(vbr.size());
  const double frameSecs = 1152.0 / 44100;
  struct Case {
    const char* what;
    Bytes data;
    int seconds;
    bool vbr;
  } cases[] = {
      {"Xing with its own count", vbr, int(n * frameSecs), true},
      {"Xing claiming a tenth", withXingFrames(vbr, n / 10), int(n / 10 * frameSecs), true},
      {"VBRI with the real count", withVbri(vbr, n, size), int(n * frameSecs), true},
      {"VBRI claiming twice the frames", withVbri(vbr, n * 2, size), int(n * 2 * frameSecs), true},
      // A header that promises far more bytes than there are: the file was
      // cut, so the frames are counted.
      {"VBRI of a file cut short", withVbri(vbr, n, size * 3), int(n * frameSecs), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool ok = false;
    TrackMeta m = analyze(c.data, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(m.seconds, c.seconds);
    EXPECT_EQ(m.vbr, c.vbr);
    EXPECT_EQ(m.channels, 2);
    EXPECT_GT(m.bitrateKbps, 0);
  }
}

TEST(AnalyzeTrack, CutAndDamagedFilesKeepWhatIsThere) {
  const Bytes cbr = fixture("cbr44s.mp3");
  const Bytes notag = fixture("notag.mp3");
  Bytes half(cbr.begin(), cbr.begin() + long(cbr.size() / 2 + 77));
  Bytes garbage = cbr;
  for (size_t i = cbr.size() / 3; i < cbr.size() / 3 + 5000; ++i) garbage[i] = uint8_t(i * 7919 >> 3);
  Bytes picture = cat({tag(3, frame(3, "APIC", Bytes(1 << 20, 0xFF))), notag});
  Bytes tagTooBig = notag;
  Bytes bigTag = tag(3, frame(3, "TIT2", cat({Bytes{0}, str("Cut")})));
  bigTag[9] = 0x7F;  // claims 127 more bytes than it has; the audio follows
  tagTooBig = cat({bigTag, notag});
  struct Case {
    const char* what;
    Bytes data;
    int seconds;
  } cases[] = {
      {"cut in the middle of a frame", half, 1},
      {"5000 bytes of garbage in the middle", garbage, 3},
      {"1 MB picture in front", picture, 3},
      {"tag size reaching into the audio", tagTooBig, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool ok = false;
    TrackMeta m = analyze(c.data, &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(m.seconds, c.seconds);
    EXPECT_EQ(m.bitrateKbps, 128);
  }
}

TEST(AnalyzeTrack, RefusesWhatHoldsNoLayerThreeFrames) {
  const uint8_t l2[4] = {0xFF, 0xFD, 0x90, 0x44};
  Bytes layer2;
  for (int i = 0; i < 50; ++i) {
    Bytes f(417, 0x33);
    std::copy(l2, l2 + 4, f.begin());
    layer2.insert(layer2.end(), f.begin(), f.end());
  }
  Bytes onlyTag = tag(3, frame(3, "TIT2", cat({Bytes{0}, str("Only a tag")})));
  Bytes v1only(128, 0);
  v1only[0] = 'T'; v1only[1] = 'A'; v1only[2] = 'G';
  struct Case {
    const char* what;
    Bytes data;
  } cases[] = {
      {"zero bytes", fixture("empty.mp3")},
      {"text renamed .mp3", fixture("text.mp3")},
      {"picture renamed .mp3", fixture("picture.mp3")},
      {"Layer II frames", layer2},
      {"an ID3v2 tag and nothing else", onlyTag},
      {"an ID3v1 tag and nothing else", v1only},
      {"three bytes", Bytes{0xFF, 0xFB, 0x90}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool ok = true;
    TrackMeta m = analyze(c.data, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(m.seconds, 0);
    EXPECT_EQ(m.channels, 0);
    EXPECT_TRUE(m.title.empty());
  }
}

TEST(ReadFileBytes, RefusesFoldersAndMissingFiles) {
  std::vector<uint8_t> b;
  EXPECT_FALSE(readFileBytes((fixtureDir() + "/folder.mp3").c_str(), b));
  EXPECT_FALSE(readFileBytes((fixtureDir() + "/no-such-file.mp3").c_str(), b));
  EXPECT_FALSE(readFileBytes("", b));
  EXPECT_FALSE(readFileBytes(nullptr, b));
  EXPECT_TRUE(readFileBytes((fixtureDir() + "/empty.mp3").c_str(), b));
  EXPECT_TRUE(b.empty());
  EXPECT_TRUE(readFileBytes((fixtureDir() + "/cbr44s.mp3").c_str(), b));
  struct stat st;
  ASSERT_EQ(stat((fixtureDir() + "/cbr44s.mp3").c_str(), &st), 0);
  EXPECT_EQ(b.size(), size_t(st.st_size));
}

}  // namespace
