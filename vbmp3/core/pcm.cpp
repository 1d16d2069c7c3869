#include "pcm.h"

#include <cmath>
#include <complex>
#include <vector>

namespace vbmp3 {

bool validVolume(int32_t v) { return v >= 0 && v <= 100; }

void applyGain(int16_t* samples, size_t frames, int channels, int left, int right) {
  if (left < 0) left = 0;
  if (left > 100) left = 100;
  if (right < 0) right = 0;
  if (right > 100) right = 100;
  if (channels == 1) {
    const int g = (left + right) / 2;
    if (g == 100) return;
    for (size_t i = 0; i < frames; ++i) samples[i] = int16_t(int32_t(samples[i]) * g / 100);
    return;
  }
  if (left == 100 && right == 100) return;
  for (size_t i = 0; i < frames; ++i) {
    samples[2 * i] = int16_t(int32_t(samples[2 * i]) * left / 100);
    samples[2 * i + 1] = int16_t(int32_t(samples[2 * i + 1]) * right / 100);
  }
}

int32_t heardSeconds(uint64_t heardFrames, int sampleRate, int32_t trackSeconds) {
  if (sampleRate <= 0) return 0;
  const uint64_t ms = heardFrames * 1000 / uint64_t(sampleRate);
  uint64_t s = (ms + 500) / 1000;
  if (trackSeconds >= 0 && s > uint64_t(trackSeconds)) s = uint64_t(trackSeconds);
  return int32_t(s);
}

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kBase = 1.01841;  // growth per band in the logarithmic part
constexpr double kScale = 196.0;   // Hz

struct FftTables {
  std::vector<double> window;
  std::vector<std::complex<double>> twiddle;
  std::vector<int> bitrev;
  double windowSum = 0;
  FftTables() : window(kFftSize), twiddle(kFftSize / 2), bitrev(kFftSize) {
    for (int i = 0; i < kFftSize; ++i) {
      window[size_t(i)] = 0.5 - 0.5 * std::cos(2 * kPi * i / kFftSize);  // periodic: DC stays in bins 0 and 1
      windowSum += window[size_t(i)];
    }
    for (int i = 0; i < kFftSize / 2; ++i)
      twiddle[size_t(i)] = std::polar(1.0, -2 * kPi * i / kFftSize);
    int bits = 0;
    while ((1 << bits) < kFftSize) ++bits;
    for (int i = 0; i < kFftSize; ++i) {
      int r = 0;
      for (int b = 0; b < bits; ++b) if (i & (1 << b)) r |= 1 << (bits - 1 - b);
      bitrev[size_t(i)] = r;
    }
  }
};

// Built when the module loads, before any thread can ask for a spectrum.
const FftTables g_tables;
const FftTables& tables() { return g_tables; }

void fft(std::vector<std::complex<double>>& a) {
  const FftTables& t = tables();
  const int n = kFftSize;
  for (int i = 0; i < n; ++i) {
    const int r = t.bitrev[size_t(i)];
    if (r > i) std::swap(a[size_t(i)], a[size_t(r)]);
  }
  for (int len = 2; len <= n; len <<= 1) {
    const int step = n / len;
    for (int i = 0; i < n; i += len) {
      for (int j = 0; j < len / 2; ++j) {
        const std::complex<double> w = t.twiddle[size_t(j * step)];
        const std::complex<double> u = a[size_t(i + j)];
        const std::complex<double> v = a[size_t(i + j + len / 2)] * w;
        a[size_t(i + j)] = u + v;
        a[size_t(i + j + len / 2)] = u - v;
      }
    }
  }
}

int32_t levelOf(double amplitude) {
  if (!(amplitude > 0)) return 0;
  const double db = 20 * std::log10(amplitude);
  const double v = (db + 90.0) * 100.0 / 90.0;
  if (v <= 0) return 0;
  if (v >= 100) return 100;
  return int32_t(v + 0.5);
}
}  // namespace

double bandFrequency(int band) { return 50.0 + kScale * (std::pow(kBase, band) - 1.0); }

void spectrumOfChannel(const float* samples, int sampleRate, int32_t out[kSpectrumBands]) {
  const FftTables& t = tables();
  std::vector<std::complex<double>> a(kFftSize);
  bool silent = true;
  for (int i = 0; i < kFftSize; ++i) {
    if (samples[i] != 0.0f) silent = false;
    a[size_t(i)] = std::complex<double>(samples[i] * t.window[size_t(i)], 0.0);
  }
  if (silent || sampleRate <= 0) {
    for (int b = 0; b < kSpectrumBands; ++b) out[b] = 0;
    return;
  }
  fft(a);
  // Amplitude of each bin, 1.0 for a full-scale sine on the bin.
  std::vector<double> power(kFftSize / 2 + 1);
  for (int k = 0; k <= kFftSize / 2; ++k) {
    const double m = 2.0 * std::abs(a[size_t(k)]) / t.windowSum;
    power[size_t(k)] = m * m;
  }
  const double binHz = double(sampleRate) / kFftSize;
  const double nyquist = sampleRate / 2.0;
  for (int b = 0; b < kSpectrumBands; ++b) {
    const double fc = bandFrequency(b);
    const double lo = b == 0 ? fc - (bandFrequency(1) - fc) / 2 : (bandFrequency(b - 1) + fc) / 2;
    const double hi = b == kSpectrumBands - 1 ? fc + (fc - bandFrequency(b - 1)) / 2
                                              : (fc + bandFrequency(b + 1)) / 2;
    if (fc >= nyquist) { out[b] = 0; continue; }
    int k0 = int(std::ceil(lo / binHz));
    int k1 = int(std::floor(hi / binHz));
    if (k0 < 1) k0 = 1;  // never the DC bin
    if (k1 > kFftSize / 2) k1 = kFftSize / 2;
    double p;
    if (k1 >= k0) {
      // Bins inside the band: their mean power.
      double sum = 0;
      for (int k = k0; k <= k1; ++k) sum += power[size_t(k)];
      p = sum / (k1 - k0 + 1);
    } else {
      // A band narrower than a bin: between the two nearest bins.
      const double x = fc / binHz;
      int k = int(std::floor(x));
      double f = x - k;
      if (k < 1) { k = 1; f = 0; }
      if (k >= kFftSize / 2) { k = kFftSize / 2 - 1; f = 1; }
      p = power[size_t(k)] * (1 - f) + power[size_t(k + 1)] * f;
    }
    out[b] = levelOf(std::sqrt(p));
  }
}

void computeSpectrum(const int16_t* interleaved, size_t frames, int channels, int sampleRate,
                     int32_t left[kSpectrumBands], int32_t right[kSpectrumBands]) {
  std::vector<float> l(kFftSize, 0.0f), r(kFftSize, 0.0f);
  const size_t n = frames < size_t(kFftSize) ? frames : size_t(kFftSize);
  const size_t start = frames - n;
  const size_t pad = size_t(kFftSize) - n;
  for (size_t i = 0; i < n; ++i) {
    if (channels == 1) {
      l[pad + i] = interleaved[start + i] / 32768.0f;
    } else {
      l[pad + i] = interleaved[2 * (start + i)] / 32768.0f;
      r[pad + i] = interleaved[2 * (start + i) + 1] / 32768.0f;
    }
  }
  spectrumOfChannel(l.data(), sampleRate, left);
  if (channels == 1) {
    for (int b = 0; b < kSpectrumBands; ++b) right[b] = left[b];
  } else {
    spectrumOfChannel(r.data(), sampleRate, right);
  }
}

}  // namespace vbmp3
