#include "acmdecode.h"

#include <cstring>

namespace vbmp3 {

namespace {
const size_t kMaxFrameBytes = 1444;  // 320 kbit/s at 32 kHz, with padding
}

void AcmDecoder::sourceFormat(const FrameHeader& ref, MPEGLAYER3WAVEFORMAT& f) {
  std::memset(&f, 0, sizeof f);
  f.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  f.wfx.nChannels = WORD(ref.channels);
  f.wfx.nSamplesPerSec = DWORD(ref.sampleRate);
  f.wfx.nAvgBytesPerSec = DWORD(ref.bitrateKbps * 1000 / 8);
  f.wfx.nBlockAlign = 1;
  f.wfx.wBitsPerSample = 0;
  f.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  f.wID = MPEGLAYER3_ID_MPEG;
  f.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  f.nBlockSize = WORD(ref.frameBytes);
  f.nFramesPerBlock = 1;
  f.nCodecDelay = 1393;
}

void AcmDecoder::pcmFormat(const FrameHeader& ref, WAVEFORMATEX& f) {
  std::memset(&f, 0, sizeof f);
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = WORD(ref.channels);
  f.nSamplesPerSec = DWORD(ref.sampleRate);
  f.wBitsPerSample = 16;
  f.nBlockAlign = WORD(ref.channels * 2);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  f.cbSize = 0;
}

bool AcmDecoder::available(const FrameHeader& ref) {
  MPEGLAYER3WAVEFORMAT src;
  WAVEFORMATEX dst;
  sourceFormat(ref, src);
  pcmFormat(ref, dst);
  return acmStreamOpen(nullptr, nullptr, &src.wfx, &dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY) == 0;
}

bool AcmDecoder::open(const uint8_t* data, size_t begin, size_t end, const FrameHeader& ref) {
  close();
  MPEGLAYER3WAVEFORMAT src;
  WAVEFORMATEX dst;
  sourceFormat(ref, src);
  pcmFormat(ref, dst);
  if (acmStreamOpen(&stream_, nullptr, &src.wfx, &dst, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
    stream_ = nullptr;
    return false;
  }
  inCap_ = kMaxFrameBytes * kFramesPerChunk;
  DWORD outNeed = 0;
  if (acmStreamSize(stream_, DWORD(inCap_), &outNeed, ACM_STREAMSIZEF_SOURCE) != 0) outNeed = 0;
  // Room for the chunk at the lowest bit rate too (many small frames).
  size_t least = size_t(kFramesPerChunk) * 2 * size_t(ref.samplesPerFrame) * size_t(ref.channels) * 2;
  outCap_ = outNeed > least ? outNeed : least;
  in_.assign(inCap_, 0);
  outBuf_.assign(outCap_, 0);
  std::memset(&header_, 0, sizeof header_);
  header_.cbStruct = sizeof header_;
  header_.pbSrc = in_.data();
  header_.cbSrcLength = DWORD(inCap_);
  header_.pbDst = outBuf_.data();
  header_.cbDstLength = DWORD(outCap_);
  if (acmStreamPrepareHeader(stream_, &header_, 0) != 0) {
    acmStreamClose(stream_, 0);
    stream_ = nullptr;
    return false;
  }
  prepared_ = true;
  data_ = data;
  begin_ = begin;
  end_ = end;
  ref_ = ref;
  cursor_ = new FrameCursor(data, begin, end, ref);
  inLen_ = 0;
  started_ = inputDone_ = done_ = false;
  return true;
}

void AcmDecoder::close() {
  if (stream_) {
    if (prepared_) {
      header_.cbSrcLength = DWORD(inCap_);
      header_.cbDstLength = DWORD(outCap_);
      acmStreamUnprepareHeader(stream_, &header_, 0);
    }
    acmStreamClose(stream_, 0);
  }
  stream_ = nullptr;
  prepared_ = false;
  delete cursor_;
  cursor_ = nullptr;
  done_ = true;
}

bool AcmDecoder::convert(DWORD flags, std::vector<int16_t>& out) {
  header_.cbSrcLength = DWORD(inLen_);
  header_.cbSrcLengthUsed = 0;
  header_.cbDstLengthUsed = 0;
  header_.fdwStatus &= ~DWORD(ACMSTREAMHEADER_STATUSF_DONE);
  if (acmStreamConvert(stream_, &header_, flags) != 0) return false;
  size_t used = header_.cbSrcLengthUsed;
  if (used > inLen_) used = inLen_;
  std::memmove(in_.data(), in_.data() + used, inLen_ - used);
  inLen_ -= used;
  const size_t got = header_.cbDstLengthUsed / 2;
  const int16_t* pcm = reinterpret_cast<const int16_t*>(outBuf_.data());
  out.insert(out.end(), pcm, pcm + got);
  return true;
}

bool AcmDecoder::decodeSome(std::vector<int16_t>& out) {
  if (done_ || !stream_) return false;
  // Fill the input with whole frames.
  int frames = 0;
  while (!inputDone_ && frames < kFramesPerChunk) {
    const size_t keep = cursor_->position();
    size_t off;
    FrameHeader h;
    if (!cursor_->next(off, h)) { inputDone_ = true; break; }
    if (inLen_ + size_t(h.frameBytes) > inCap_) { cursor_->seek(keep); break; }
    std::memcpy(in_.data() + inLen_, data_ + off, size_t(h.frameBytes));
    inLen_ += size_t(h.frameBytes);
    ++frames;
  }
  const size_t before = out.size();
  if (frames == 0 && !inputDone_ && inLen_ > 0 && started_) {
    // No room for another frame although the codec had its chance: it is
    // not taking the data, so stop here rather than spin.
    done_ = true;
    return false;
  }
  DWORD flags = ACM_STREAMCONVERTF_BLOCKALIGN;
  if (!started_) flags |= ACM_STREAMCONVERTF_START;
  started_ = true;
  if (inLen_ > 0 && !convert(flags, out)) {
    done_ = true;  // the codec gave up on this data: keep what came out
    return out.size() > before;
  }
  if (inputDone_) {
    // Hand over what is left and let the codec flush.
    if (!convert(ACM_STREAMCONVERTF_END, out)) inLen_ = 0;
    if (out.size() == before || inLen_ == 0) done_ = true;
  }
  return true;
}

}  // namespace vbmp3
