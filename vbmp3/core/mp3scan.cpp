#include "mp3scan.h"

namespace vbmp3 {

namespace {

// Layer III bit rates in kbit/s, by index 1..14.
const int kBitrateV1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const int kBitrateV2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
const int kRateV1[3] = {44100, 48000, 32000};

uint32_t be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

bool parseFrameHeader(const uint8_t* p, FrameHeader& out) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  const int versionBits = (p[1] >> 3) & 3;  // 0: 2.5, 1: reserved, 2: 2, 3: 1
  const int layerBits = (p[1] >> 1) & 3;    // 1: Layer III
  if (versionBits == 1 || layerBits != 1) return false;
  const int bitrateIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  if ((p[3] & 3) == 2) return false;  // reserved emphasis
  FrameHeader h;
  h.raw = be32(p);
  h.version = versionBits == 3 ? MpegVersion::Mpeg1
                               : (versionBits == 2 ? MpegVersion::Mpeg2 : MpegVersion::Mpeg25);
  const bool v1 = h.version == MpegVersion::Mpeg1;
  h.bitrateKbps = v1 ? kBitrateV1[bitrateIndex] : kBitrateV2[bitrateIndex];
  h.sampleRate = kRateV1[rateIndex];
  if (h.version == MpegVersion::Mpeg2) h.sampleRate /= 2;
  if (h.version == MpegVersion::Mpeg25) h.sampleRate /= 4;
  h.padding = (p[2] >> 1) & 1;
  h.crc = !(p[1] & 1);
  h.channelMode = p[3] >> 6;
  h.channels = h.channelMode == 3 ? 1 : 2;
  h.samplesPerFrame = v1 ? 1152 : 576;
  const int factor = v1 ? 144 : 72;
  h.frameBytes = factor * h.bitrateKbps * 1000 / h.sampleRate + (h.padding ? 1 : 0);
  out = h;
  return true;
}

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
  return a.version == b.version && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

int sideInfoEnd(const FrameHeader& h) {
  const bool v1 = h.version == MpegVersion::Mpeg1;
  const int side = v1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
  return 4 + (h.crc ? 2 : 0) + side;
}

XingInfo parseXing(const uint8_t* p, size_t len, const FrameHeader& h) {
  XingInfo x;
  const size_t at = size_t(sideInfoEnd(h));
  if (len > size_t(h.frameBytes)) len = size_t(h.frameBytes);
  if (len < at + 8) return x;
  const uint8_t* q = p + at;
  const bool xing = q[0] == 'X' && q[1] == 'i' && q[2] == 'n' && q[3] == 'g';
  const bool info = q[0] == 'I' && q[1] == 'n' && q[2] == 'f' && q[3] == 'o';
  if (!xing && !info) return x;
  x.present = true;
  x.isInfo = info;
  const uint32_t flags = be32(q + 4);
  size_t off = at + 8;
  if (flags & 1) {
    if (len < off + 4) return x;
    x.frames = be32(p + off);
    x.hasFrames = true;
    off += 4;
  }
  if (flags & 2) {
    if (len < off + 4) return x;
    x.bytes = be32(p + off);
    x.hasBytes = true;
  }
  return x;
}

VbriInfo parseVbri(const uint8_t* p, size_t len, const FrameHeader& h) {
  VbriInfo v;
  const size_t at = 4 + 32;  // always 32 bytes after the header
  if (len > size_t(h.frameBytes)) len = size_t(h.frameBytes);
  if (len < at + 18) return v;
  const uint8_t* q = p + at;
  if (!(q[0] == 'V' && q[1] == 'B' && q[2] == 'R' && q[3] == 'I')) return v;
  v.present = true;
  v.bytes = be32(q + 10);
  v.frames = be32(q + 14);
  return v;
}

bool findFirstFrame(const uint8_t* data, size_t begin, size_t end, size_t& pos,
                    FrameHeader& h) {
  if (end < begin + 4) return false;
  for (size_t at = begin; at + 4 <= end; ++at) {
    if (data[at] != 0xFF) continue;
    FrameHeader first;
    if (!parseFrameHeader(data + at, first)) continue;
    size_t p = at + size_t(first.frameBytes);
    int run = 1;
    bool exact = false;
    while (run < kSyncRunFrames) {
      if (p == end) { exact = true; break; }
      if (p + 4 > end) break;
      FrameHeader nh;
      if (!parseFrameHeader(data + p, nh) || !sameStream(first, nh)) break;
      if (p + size_t(nh.frameBytes) > end) break;
      p += size_t(nh.frameBytes);
      ++run;
    }
    if (run >= kSyncRunFrames || (exact && at == begin)) {
      pos = at;
      h = first;
      return true;
    }
  }
  return false;
}

FrameCursor::FrameCursor(const uint8_t* data, size_t begin, size_t end, const FrameHeader& ref)
    : data_(data), begin_(begin), end_(end), pos_(begin), ref_(ref) {}

bool FrameCursor::frameAt(size_t pos, FrameHeader& h) const {
  if (pos + 4 > end_) return false;
  if (!parseFrameHeader(data_ + pos, h) || !sameStream(ref_, h)) return false;
  return pos + size_t(h.frameBytes) <= end_;
}

bool FrameCursor::next(size_t& offset, FrameHeader& h) {
  if (pos_ < begin_) pos_ = begin_;
  for (size_t at = pos_; at + 4 <= end_; ++at) {
    FrameHeader fh;
    if (!frameAt(at, fh)) continue;
    if (at != pos_) {
      // After damage, take a frame only when another frame (or the end of
      // the range) follows it, so stray sync bytes in garbage are not played.
      const size_t after = at + size_t(fh.frameBytes);
      FrameHeader nh;
      if (after != end_ && !frameAt(after, nh)) continue;
      skipped_ += at - pos_;
    }
    offset = at;
    h = fh;
    pos_ = at + size_t(fh.frameBytes);
    return true;
  }
  if (pos_ < end_) skipped_ += end_ - pos_;
  pos_ = end_;
  return false;
}

}  // namespace vbmp3
