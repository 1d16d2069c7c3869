#include "track.h"

#include <cstdio>

namespace vbmp3 {

namespace {

// End of the frame data: ID3v1 at the very end, an APEv2 tag before it.
size_t audioEndOf(const uint8_t* data, size_t begin, size_t size) {
  size_t end = size;
  if (hasId3v1(data, end) && end - 128 >= begin) end -= 128;
  if (end >= begin + 32) {
    const uint8_t* f = data + end - 32;
    if (f[0] == 'A' && f[1] == 'P' && f[2] == 'E' && f[3] == 'T' && f[4] == 'A' && f[5] == 'G' &&
        f[6] == 'E' && f[7] == 'X') {
      const uint32_t tagLen = uint32_t(f[12]) | (uint32_t(f[13]) << 8) | (uint32_t(f[14]) << 16) |
                              (uint32_t(f[15]) << 24);
      const bool hasHeader = f[23] & 0x80;
      const size_t whole = size_t(tagLen) + (hasHeader ? 32 : 0);
      if (whole <= end - begin) end -= whole;
    }
  }
  return end;
}

}  // namespace

bool analyzeTrack(const uint8_t* data, size_t size, const TextHooks& hooks, TrackMeta& out) {
  out = TrackMeta();
  if (data == nullptr || size < 4) return false;

  // ID3v2 tags at the front; some files carry more than one.
  size_t begin = 0;
  TagText v2;
  for (int i = 0; i < 4; ++i) {
    const size_t tagSize = id3v2TagSize(data + begin, size - begin);
    if (tagSize == 0) break;
    if (i == 0) v2 = readId3v2(data + begin, size - begin, hooks);
    if (tagSize > size - begin) { begin = size; break; }
    begin += tagSize;
  }
  const size_t end = audioEndOf(data, begin, size);

  size_t firstPos = 0;
  FrameHeader h;
  bool found = findFirstFrame(data, begin, end, firstPos, h);
  if (!found && begin > 0) {
    // A tag size that overshoots the audio: look from the start instead.
    found = findFirstFrame(data, 0, end, firstPos, h);
  }
  if (!found) return false;

  out.first = h;
  out.channels = h.channels;
  out.sampleRate = h.sampleRate;
  out.firstFrame = firstPos;
  out.audioBegin = firstPos;
  out.audioEnd = end;

  const size_t avail = end - firstPos;
  const XingInfo xing = parseXing(data + firstPos, avail, h);
  const VbriInfo vbri = xing.present ? VbriInfo() : parseVbri(data + firstPos, avail, h);

  uint64_t frames = 0;
  uint64_t audioBytes = 0;
  bool known = false;
  if (xing.present || vbri.present) {
    // The header frame holds no audio: playing starts after it.
    out.audioBegin = firstPos + size_t(h.frameBytes);
    FrameHeader second;
    if (out.audioBegin + 4 <= end && parseFrameHeader(data + out.audioBegin, second) &&
        sameStream(h, second))
      out.first = second;
    // A header that promises much more data than the file holds belongs to
    // a file cut short: then the frames are counted instead.
    const uint64_t region = end - firstPos;
    const uint64_t slack = uint64_t(h.frameBytes) * 2 + 1024;
    const bool xingFits = !xing.hasBytes || uint64_t(xing.bytes) <= region + slack;
    const bool vbriFits = uint64_t(vbri.bytes) <= region + slack;
    if (xing.present && xing.hasFrames && xing.frames > 0 && xingFits) {
      frames = xing.frames;
      audioBytes = xing.hasBytes && xing.bytes > uint32_t(h.frameBytes)
                       ? xing.bytes - uint32_t(h.frameBytes)
                       : end - out.audioBegin;
      known = true;
      out.vbr = !xing.isInfo;
    } else if (vbri.present && vbri.frames > 0 && vbriFits) {
      frames = vbri.frames;
      audioBytes = vbri.bytes > uint32_t(h.frameBytes) ? vbri.bytes - uint32_t(h.frameBytes)
                                                       : end - out.audioBegin;
      known = true;
      out.vbr = true;
    }
  }
  if (!known) {
    // No usable header: count the frames.
    FrameCursor cur(data, out.audioBegin, end, out.first);
    size_t off;
    FrameHeader fh;
    int firstRate = -1;
    while (cur.next(off, fh)) {
      ++frames;
      audioBytes += uint64_t(fh.frameBytes);
      if (firstRate < 0) firstRate = fh.bitrateKbps;
      else if (fh.bitrateKbps != firstRate) out.vbr = true;
    }
    if (frames == 0) return false;
  }

  const uint64_t spf = uint64_t(h.samplesPerFrame);
  out.totalSamples = frames * spf;
  out.seconds = int(out.totalSamples / uint64_t(h.sampleRate));
  if (out.vbr) {
    const uint64_t ms = out.totalSamples * 1000 / uint64_t(h.sampleRate);
    out.bitrateKbps = ms > 0 ? int((audioBytes * 8 + ms / 2) / ms) : out.first.bitrateKbps;
  } else {
    out.bitrateKbps = out.first.bitrateKbps;
  }

  TagText v1 = readId3v1(data, size, hooks);
  out.title = v2.hasTitle && !v2.title.empty() ? v2.title : v1.title;
  out.artist = v2.hasArtist && !v2.artist.empty() ? v2.artist : v1.artist;
  return true;
}

#ifndef _WIN32
bool readFileBytes(const char* path, std::vector<uint8_t>& out) {
  out.clear();
  if (path == nullptr || *path == 0) return false;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  bool ok = true;
  uint8_t buf[65536];
  for (;;) {
    const size_t n = std::fread(buf, 1, sizeof buf, f);
    out.insert(out.end(), buf, buf + n);
    if (n < sizeof buf) {
      ok = !std::ferror(f);
      break;
    }
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}
#endif

}  // namespace vbmp3
