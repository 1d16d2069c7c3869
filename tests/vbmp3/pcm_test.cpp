// Volume gain, the play clock's rounding, and the spectrum.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/pcm.h"

using namespace vbmp3;

namespace {

TEST(Volume, AcceptsZeroToHundredOnly) {
  const struct { int32_t v; bool ok; } cases[] = {{0, true}, {1, true}, {50, true}, {100, true}, {-1, false}, {101, false}, {1000, false}, {INT32_MIN, false}};
  for (auto c : cases) EXPECT_EQ(validVolume(c.v), c.ok) << c.v;
}

TEST(Volume, GainPerChannel) {
  struct Case {
    const char* what;
    int channels, left, right;
    std::vector<int16_t> in, out;
  } cases[] = {
      {"full volume leaves samples alone", 2, 100, 100, {1000, -1000, 32767, -32768}, {1000, -1000, 32767, -32768}},
      {"silence", 2, 0, 0, {1000, -1000, 32767, -32768}, {0, 0, 0, 0}},
      {"half", 2, 50, 50, {1000, -1000, 32767, -32768}, {500, -500, 16383, -16384}},
      {"left only", 2, 100, 0, {1000, -1000, 2000, -2000}, {1000, 0, 2000, 0}},
      {"right at 25", 2, 100, 25, {1000, 1000, -400, -400}, {1000, 250, -400, -100}},
      {"mono takes the mean", 1, 100, 0, {1000, -1000, 32767}, {500, -500, 16383}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    applyGain(c.in.data(), c.in.size() / size_t(c.channels), c.channels, c.left, c.right);
    EXPECT_EQ(c.in, c.out);
  }
}

TEST(PlayClock, NearestSecondCappedAtTheTrackLength) {
  struct Case { uint64_t frames; int rate; int32_t track; int32_t want; } cases[] = {
      {0, 44100, 5, 0},        {22049, 44100, 5, 0},   {22050, 44100, 5, 1},
      {44100, 44100, 5, 1},    {43000, 44100, 5, 1},   {66149, 44100, 5, 1},
      {66150, 44100, 5, 2},    {44100 * 5 + 30000, 44100, 5, 5}, {44100 * 9, 44100, 5, 5},
      {8000 * 3, 8000, 3, 3},  {48000 * 2 - 100, 48000, 10, 2},  {1000, 0, 5, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(heardSeconds(c.frames, c.rate, c.track), c.want) << c.frames << " @ " << c.rate;
}

// The player reads the position every 1000 ms from the return of play, a
// few tens of ms late. Whatever the output's start latency (up to 300 ms),
// the readings must step 1, 2, 3 ... without skipping or repeating.
TEST(PlayClock, TicksOneSecondApartStepByOne) {
  for (int latencyMs : {0, 15, 50, 120, 200, 300}) {
    for (int latenessMs : {0, 10, 30, 60, 90}) {
      for (int k = 1; k <= 30; ++k) {
        const int64_t heardMs = int64_t(k) * 1000 + latenessMs - latencyMs;
        const uint64_t frames = uint64_t(heardMs) * 44100 / 1000;
        ASSERT_EQ(heardSeconds(frames, 44100, 30), k)
            << "latency " << latencyMs << " lateness " << latenessMs << " tick " << k;
      }
    }
  }
}

std::vector<int16_t> sine(double hz, double amplitude, int rate, int channels, size_t frames) {
  std::vector<int16_t> v(frames * size_t(channels));
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      v[i * size_t(channels) + size_t(c)] = int16_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * double(i) / rate)));
  return v;
}

int peakBand(const int32_t* bands) {
  int best = 0;
  for (int b = 1; b < kSpectrumBands; ++b) if (bands[b] > bands[best]) best = b;
  return best;
}

TEST(Spectrum, BandsRunFromBassToTreble) {
  EXPECT_NEAR(bandFrequency(0), 50, 1);
  for (int b = 1; b < kSpectrumBands; ++b) ASSERT_GT(bandFrequency(b), bandFrequency(b - 1));
  // The four bands the player shows.
  EXPECT_GE(bandFrequency(50), 250);  EXPECT_LE(bandFrequency(50), 500);    // low mid
  EXPECT_GE(bandFrequency(100), 800); EXPECT_LE(bandFrequency(100), 1500);  // mid
  EXPECT_GE(bandFrequency(150), 2000); EXPECT_LE(bandFrequency(150), 4000); // upper mid
  EXPECT_LE(bandFrequency(254), 22050);
}

TEST(Spectrum, SinePeaksInItsBand) {
  for (int band : {0, 20, 50, 100, 150, 200, 240}) {
    const double hz = bandFrequency(band);
    std::vector<int16_t> s = sine(hz, 0.5, 44100, 2, 4096);
    int32_t l[kSpectrumBands], r[kSpectrumBands];
    computeSpectrum(s.data(), 4096, 2, 44100, l, r);
    // Narrow bands at the bottom share FFT bins: allow a few bands of spread.
    EXPECT_NEAR(peakBand(l), band, band < 60 ? 12 : 2) << hz << " Hz";
    EXPECT_GT(l[band], 60) << hz << " Hz";
    EXPECT_LT(l[band], 100) << "a -6 dB sine is not pinned at the top";
    for (int b = 0; b < kSpectrumBands; ++b) ASSERT_EQ(l[b], r[b]);
  }
}

TEST(Spectrum, SilenceDcAndChannels) {
  int32_t l[kSpectrumBands], r[kSpectrumBands];
  std::vector<int16_t> silence(4096 * 2, 0);
  computeSpectrum(silence.data(), 4096, 2, 44100, l, r);
  for (int b = 0; b < kSpectrumBands; ++b) { ASSERT_EQ(l[b], 0); ASSERT_EQ(r[b], 0); }

  // A constant offset is no sound: entry 0 is not the DC term.
  std::vector<int16_t> dc(4096 * 2, 16000);
  computeSpectrum(dc.data(), 4096, 2, 44100, l, r);
  for (int b = 0; b < kSpectrumBands; ++b) ASSERT_EQ(l[b], 0) << b;

  // Left sine, right silent.
  std::vector<int16_t> s = sine(1000, 0.5, 44100, 2, 4096);
  for (size_t i = 0; i < 4096; ++i) s[2 * i + 1] = 0;
  computeSpectrum(s.data(), 4096, 2, 44100, l, r);
  EXPECT_GT(l[peakBand(l)], 0);
  for (int b = 0; b < kSpectrumBands; ++b) ASSERT_EQ(r[b], 0);

  // Fewer samples than the FFT length: padded, no read past the end.
  std::vector<int16_t> few = sine(440, 0.5, 44100, 1, 300);
  computeSpectrum(few.data(), 300, 1, 44100, l, r);
  EXPECT_GT(l[peakBand(l)], 0);
  for (int b = 0; b < kSpectrumBands; ++b) ASSERT_EQ(l[b], r[b]);
}

TEST(Spectrum, NoiseMovesEveryShownBandWithoutPinning) {
  std::mt19937 rng(7);
  std::normal_distribution<double> n(0, 0.15);
  std::vector<int16_t> s(4096 * 2);
  for (auto& v : s) v = int16_t(std::max(-32768.0, std::min(32767.0, n(rng) * 32767)));
  int32_t l[kSpectrumBands], r[kSpectrumBands];
  computeSpectrum(s.data(), 4096, 2, 44100, l, r);
  int pinned = 0;
  for (int b = 0; b < kSpectrumBands; ++b) {
    ASSERT_GE(l[b], 0);
    ASSERT_LE(l[b], 100);
    if (l[b] == 100) ++pinned;
  }
  for (int b : {0, 50, 100, 150}) {
    EXPECT_GT(l[b], 10) << b;
    EXPECT_LT(l[b], 95) << b;
    EXPECT_GT(r[b], 10) << b;
  }
  EXPECT_EQ(pinned, 0);
}

TEST(Spectrum, BandsAboveNyquistStayZero) {
  std::vector<int16_t> s = sine(bandFrequency(100), 0.5, 8000, 1, 4096);
  int32_t l[kSpectrumBands], r[kSpectrumBands];
  computeSpectrum(s.data(), 4096, 1, 8000, l, r);
  int firstAbove = 0;
  while (firstAbove < kSpectrumBands && bandFrequency(firstAbove) < 4000) ++firstAbove;
  ASSERT_LT(firstAbove, kSpectrumBands);
  for (int b = firstAbove; b < kSpectrumBands; ++b) ASSERT_EQ(l[b], 0) << b;
  EXPECT_GT(l[100], 50);  // about 1 kHz
}

}  // namespace
