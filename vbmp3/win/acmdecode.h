// Decoding Layer III frames to 16-bit PCM through the system's ACM MP3 codec.
#ifndef VBMP3_WIN_ACMDECODE_H
#define VBMP3_WIN_ACMDECODE_H

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "../core/mp3scan.h"

namespace vbmp3 {

class AcmDecoder {
 public:
  // Frames handed to the codec per conversion.
  static const int kFramesPerChunk = 32;

  AcmDecoder() = default;
  ~AcmDecoder() { close(); }
  AcmDecoder(const AcmDecoder&) = delete;
  AcmDecoder& operator=(const AcmDecoder&) = delete;

  // True when a codec can turn this stream into 16-bit PCM.
  static bool available(const FrameHeader& ref);
  static void pcmFormat(const FrameHeader& ref, WAVEFORMATEX& out);

  // Frames are read from data[begin, end); ref is the first audio frame.
  bool open(const uint8_t* data, size_t begin, size_t end, const FrameHeader& ref);
  void close();
  // Appends the PCM of the next frames to out (interleaved samples).
  // Returns false once everything has been decoded and flushed.
  bool decodeSome(std::vector<int16_t>& out);
  bool finished() const { return done_; }
  // Samples (all channels) one decodeSome call can add at most.
  size_t maxChunkSamples() const { return outCap_ / 2; }

 private:
  static void sourceFormat(const FrameHeader& ref, MPEGLAYER3WAVEFORMAT& f);
  bool convert(DWORD flags, std::vector<int16_t>& out);

  HACMSTREAM stream_ = nullptr;
  ACMSTREAMHEADER header_ = {};
  bool prepared_ = false;
  std::vector<uint8_t> in_, outBuf_;
  size_t inCap_ = 0, outCap_ = 0, inLen_ = 0;
  const uint8_t* data_ = nullptr;
  size_t begin_ = 0, end_ = 0;
  FrameHeader ref_;
  FrameCursor* cursor_ = nullptr;
  bool started_ = false, inputDone_ = false, done_ = false;
};

}  // namespace vbmp3

#endif
