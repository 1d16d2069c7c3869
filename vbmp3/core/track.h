// What a file holds: tags, stream format, playing time and where the audio
// frames lie. analyzeTrack is everything vbmp3_open learns from the bytes.
#ifndef VBMP3_CORE_TRACK_H
#define VBMP3_CORE_TRACK_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mp3scan.h"
#include "tags.h"

namespace vbmp3 {

struct TrackMeta {
  std::string title;   // at most kMaxTextBytes, code page text
  std::string artist;
  int channels = 0;
  int bitrateKbps = 0;
  int sampleRate = 0;
  int seconds = 0;
  bool vbr = false;
  uint64_t totalSamples = 0;  // per channel, from the headers or the scan
  FrameHeader first;          // first audio frame (after a Xing/VBRI frame)
  size_t firstFrame = 0;      // first frame, a Xing/VBRI frame included
  size_t audioBegin = 0;      // first audio frame
  size_t audioEnd = 0;        // end of the frame data (before ID3v1/APE tags)
};

// Returns false when the bytes hold no run of consistent Layer III frames.
bool analyzeTrack(const uint8_t* data, size_t size, const TextHooks& hooks, TrackMeta& out);

// Reads a whole file (native builds: tests, fuzzing, benchmarks). False for
// a missing file, a folder or a read error.
bool readFileBytes(const char* path, std::vector<uint8_t>& out);

}  // namespace vbmp3

#endif
