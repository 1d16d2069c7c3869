// Work on 16-bit PCM: the volume gain, the play clock and the spectrum.
#ifndef VBMP3_CORE_PCM_H
#define VBMP3_CORE_PCM_H

#include <cstddef>
#include <cstdint>

namespace vbmp3 {

// Volume 0..100 per channel; anything else is refused.
bool validVolume(int32_t v);

// Multiplies interleaved samples by volume/100 (left on even, right on odd
// samples; a single channel gets the mean of both).
void applyGain(int16_t* samples, size_t frames, int channels, int left, int right);

// Whole seconds to show for what the listener has heard: the nearest second,
// so that a reading taken shortly before or after a full second of playing
// gives that second, never more than the track's whole seconds.
int32_t heardSeconds(uint64_t heardFrames, int sampleRate, int32_t trackSeconds);

constexpr int kSpectrumBands = 255;
constexpr int kFftSize = 2048;

// Centre frequency of band i in Hz: 50 Hz rising to about 20 kHz, close to
// linear at the bottom and logarithmic above a few hundred Hz, so bands 0, 50,
// 100 and 150 sit near 50 Hz, 340 Hz, 1.07 kHz and 2.9 kHz.
double bandFrequency(int band);

// Spectrum of the last kFftSize frames that end at 'frames' (fewer frames
// are padded with silence), on a 0..100 scale (-90 dB .. 0 dB of full
// scale per band). A single channel gives the same values in both arrays.
void computeSpectrum(const int16_t* interleaved, size_t frames, int channels, int sampleRate,
                     int32_t left[kSpectrumBands], int32_t right[kSpectrumBands]);

// One channel (kFftSize samples as floats in -1..1) into 255 levels.
void spectrumOfChannel(const float* samples, int sampleRate, int32_t out[kSpectrumBands]);

}  // namespace vbmp3

#endif
