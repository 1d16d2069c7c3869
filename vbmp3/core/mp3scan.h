// MPEG audio Layer III frame headers, the Xing/Info and VBRI headers, and the
// search for a run of consistent frames. Everything works on a byte range in
// memory and never reads outside it.
#ifndef VBMP3_CORE_MP3SCAN_H
#define VBMP3_CORE_MP3SCAN_H

#include <cstddef>
#include <cstdint>

namespace vbmp3 {

enum class MpegVersion : uint8_t { Mpeg1, Mpeg2, Mpeg25 };

struct FrameHeader {
  MpegVersion version = MpegVersion::Mpeg1;
  int bitrateKbps = 0;
  int sampleRate = 0;
  int channels = 0;          // 1 for single channel, else 2
  int channelMode = 0;       // 0 stereo, 1 joint, 2 dual, 3 mono
  bool padding = false;
  bool crc = false;
  int frameBytes = 0;        // whole frame, header included
  int samplesPerFrame = 0;   // 1152 for MPEG-1, 576 for MPEG-2 and 2.5
  uint32_t raw = 0;
};

// Parses the four header bytes at p. Only Layer III with a known bit rate
// (no free format) and a valid sampling rate is accepted.
bool parseFrameHeader(const uint8_t* p, FrameHeader& out);

// Two frames belong to the same stream when version, sampling rate and
// channel count agree (the bit rate may change from frame to frame).
bool sameStream(const FrameHeader& a, const FrameHeader& b);

// Offset of the side information end (start of the Xing/Info header).
int sideInfoEnd(const FrameHeader& h);

struct XingInfo {
  bool present = false;
  bool isInfo = false;       // "Info": written by encoders for CBR files
  bool hasFrames = false;
  bool hasBytes = false;
  uint32_t frames = 0;
  uint32_t bytes = 0;
};

struct VbriInfo {
  bool present = false;
  uint32_t frames = 0;
  uint32_t bytes = 0;
};

// Looks for a Xing/Info header, then a VBRI header, in the frame at p
// (available bytes: len, which may be less than the frame).
XingInfo parseXing(const uint8_t* p, size_t len, const FrameHeader& h);
VbriInfo parseVbri(const uint8_t* p, size_t len, const FrameHeader& h);

// Minimum number of frames that must follow each other, header to header,
// before a position counts as the start of the audio.
constexpr int kSyncRunFrames = 4;

// Searches [begin, end) of data for the first frame that starts a run of
// consistent frames. A run shorter than kSyncRunFrames is accepted only when
// it fills the whole range exactly, from its start to its end. Returns false if there is none.
bool findFirstFrame(const uint8_t* data, size_t begin, size_t end, size_t& pos,
                    FrameHeader& h);

// Walks the frames of a stream after the first one. next() returns the next
// whole frame that belongs to the reference stream, skipping damaged bytes by
// searching for the next frame that is followed by another one (or by the end).
class FrameCursor {
 public:
  FrameCursor(const uint8_t* data, size_t begin, size_t end, const FrameHeader& ref);
  // Returns false at the end. On success, offset and header of the frame.
  bool next(size_t& offset, FrameHeader& h);
  size_t position() const { return pos_; }
  void seek(size_t pos) { pos_ = pos; }
  // Number of bytes skipped as damaged so far.
  size_t skippedBytes() const { return skipped_; }

 private:
  bool frameAt(size_t pos, FrameHeader& h) const;
  const uint8_t* data_;
  size_t begin_, end_, pos_;
  FrameHeader ref_;
  size_t skipped_ = 0;
};

}  // namespace vbmp3

#endif
