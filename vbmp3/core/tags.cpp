#include "tags.h"

#include <cstring>
#include <vector>

namespace vbmp3 {

std::string defaultFromUtf16(const char16_t* text, size_t count, void*) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += text[i] < 0x100 ? char(text[i]) : '?';
  return out;
}

bool shiftJisLeadByte(uint8_t b, void*) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

namespace {

bool leadByte(const TextHooks& hooks, uint8_t b) {
  return hooks.isLeadByte ? hooks.isLeadByte(b, hooks.ctx) : shiftJisLeadByte(b, nullptr);
}

std::string fromUtf16(const TextHooks& hooks, const std::u16string& s) {
  if (s.empty()) return std::string();
  return hooks.fromUtf16 ? hooks.fromUtf16(s.data(), s.size(), hooks.ctx)
                         : defaultFromUtf16(s.data(), s.size(), nullptr);
}

uint32_t syncsafe(const uint8_t* p) {
  return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) |
         (uint32_t(p[2] & 0x7F) << 7) | uint32_t(p[3] & 0x7F);
}
uint32_t be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Undoes unsynchronisation: every FF 00 becomes FF.
std::vector<uint8_t> resync(const uint8_t* p, size_t n) {
  std::vector<uint8_t> out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    out.push_back(p[i]);
    if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0x00) ++i;
  }
  return out;
}

void appendUtf16(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(char16_t(0xD800 + (cp >> 10)));
    out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(char16_t(cp));
  }
}

std::u16string utf8ToUtf16(const uint8_t* p, size_t n) {
  std::u16string out;
  size_t i = 0;
  while (i < n) {
    const uint8_t c = p[i];
    int extra = 0;
    uint32_t cp = 0, minCp = 0;
    if (c < 0x80) { cp = c; }
    else if ((c & 0xE0) == 0xC0) { cp = c & 0x1F; extra = 1; minCp = 0x80; }
    else if ((c & 0xF0) == 0xE0) { cp = c & 0x0F; extra = 2; minCp = 0x800; }
    else if ((c & 0xF8) == 0xF0) { cp = c & 0x07; extra = 3; minCp = 0x10000; }
    else { out.push_back(0xFFFD); ++i; continue; }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + size_t(k) >= n || (p[i + size_t(k)] & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (p[i + size_t(k)] & 0x3F);
    }
    if (!ok || cp < minCp || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    appendUtf16(out, cp);
    i += size_t(extra) + 1;
  }
  return out;
}

// UTF-16 up to the first NUL code unit; bigEndian gives the byte order.
std::u16string utf16Units(const uint8_t* p, size_t n, bool bigEndian) {
  std::u16string out;
  for (size_t i = 0; i + 1 < n; i += 2) {
    const char16_t u = bigEndian ? char16_t((p[i] << 8) | p[i + 1]) : char16_t((p[i + 1] << 8) | p[i]);
    if (u == 0) break;
    out.push_back(u);
  }
  return out;
}

bool idValid(const uint8_t* p, int n) {
  for (int i = 0; i < n; ++i) {
    const uint8_t c = p[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

}  // namespace

std::string cutText(const std::string& text, size_t maxBytes, const TextHooks& hooks) {
  std::string out;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    const uint8_t c = uint8_t(text[i]);
    if (c == 0) break;
    if (leadByte(hooks, c)) {
      if (i + 1 >= n || text[i + 1] == 0) break;  // dangling lead byte
      if (out.size() + 2 > maxBytes) break;
      out += text[i];
      out += text[i + 1];
      i += 2;
    } else {
      if (out.size() + 1 > maxBytes) break;
      out += text[i];
      ++i;
    }
  }
  return out;
}

std::string decodeTextFrame(const uint8_t* body, size_t len, const TextHooks& hooks) {
  if (len < 1) return std::string();
  const uint8_t enc = body[0];
  const uint8_t* p = body + 1;
  const size_t n = len - 1;
  std::string out;
  switch (enc) {
    case 0: {  // ISO-8859-1, passed on unchanged (often Shift_JIS in practice)
      size_t e = 0;
      while (e < n && p[e] != 0) ++e;
      out.assign(reinterpret_cast<const char*>(p), e);
      break;
    }
    case 1: {  // UTF-16 with byte order mark
      bool big = false;
      size_t skip = 0;
      if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) { big = true; skip = 2; }
      else if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) { big = false; skip = 2; }
      out = fromUtf16(hooks, utf16Units(p + skip, n - skip, big));
      break;
    }
    case 2:  // UTF-16BE without BOM
      out = fromUtf16(hooks, utf16Units(p, n, true));
      break;
    case 3: {  // UTF-8
      size_t e = 0;
      while (e < n && p[e] != 0) ++e;
      size_t s = 0;
      if (e >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) s = 3;
      out = fromUtf16(hooks, utf8ToUtf16(p + s, e - s));
      break;
    }
    default:
      return std::string();
  }
  return cutText(out, kMaxTextBytes, hooks);
}

size_t id3v2TagSize(const uint8_t* data, size_t size) {
  if (size < 10 || data[0] != 'I' || data[1] != 'D' || data[2] != '3') return 0;
  if (data[3] < 2 || data[3] > 4 || data[4] == 0xFF) return 0;
  size_t total = 10 + size_t(syncsafe(data + 6));
  if (data[3] == 4 && (data[5] & 0x10)) total += 10;  // footer
  return total;
}

TagText readId3v2(const uint8_t* data, size_t size, const TextHooks& hooks) {
  TagText t;
  const size_t tagSize = id3v2TagSize(data, size);
  if (tagSize == 0) return t;
  const int ver = data[3];
  const uint8_t flags = data[5];
  size_t bodyLen = size_t(syncsafe(data + 6));
  if (bodyLen > size - 10) bodyLen = size - 10;  // tag cut short: read what is there
  const uint8_t* body = data + 10;
  std::vector<uint8_t> unsynced;
  // In 2.2 and 2.3 the whole tag is unsynchronised; in 2.4 the flag means
  // every frame is, which is handled per frame below.
  if ((flags & 0x80) && ver < 4) {
    unsynced = resync(body, bodyLen);
    body = unsynced.data();
    bodyLen = unsynced.size();
  }
  size_t pos = 0;
  if ((flags & 0x40) && ver >= 3) {
    if (bodyLen < 4) return t;
    size_t ext = ver == 3 ? size_t(be32(body)) + 4 : size_t(syncsafe(body));
    if (ext > bodyLen) return t;
    pos = ext;
  }
  const size_t headLen = ver == 2 ? 6 : 10;
  while (pos + headLen <= bodyLen) {
    const uint8_t* f = body + pos;
    if (f[0] == 0) break;  // padding
    const int idLen = ver == 2 ? 3 : 4;
    if (!idValid(f, idLen)) break;
    size_t len;
    uint16_t fflags = 0;
    if (ver == 2) {
      len = (size_t(f[3]) << 16) | (size_t(f[4]) << 8) | f[5];
    } else if (ver == 3) {
      len = be32(f + 4);
      fflags = uint16_t((f[8] << 8) | f[9]);
    } else {
      // 2.4 sizes are syncsafe; some writers put plain numbers there.
      const bool safe = !((f[4] | f[5] | f[6] | f[7]) & 0x80);
      len = safe ? syncsafe(f + 4) : be32(f + 4);
      fflags = uint16_t((f[8] << 8) | f[9]);
    }
    if (len > bodyLen - pos - headLen) break;
    const uint8_t* fb = f + headLen;
    size_t fl = len;
    pos += headLen + len;

    char id[5] = {0, 0, 0, 0, 0};
    std::memcpy(id, f, size_t(idLen));
    const bool isTitle = ver == 2 ? std::strcmp(id, "TT2") == 0 : std::strcmp(id, "TIT2") == 0;
    const bool isArtist = ver == 2 ? std::strcmp(id, "TP1") == 0 : std::strcmp(id, "TPE1") == 0;
    if (!isTitle && !isArtist) continue;
    if ((isTitle && t.hasTitle) || (isArtist && t.hasArtist)) continue;

    std::vector<uint8_t> frameBody;
    if (ver == 3) {
      if (fflags & 0x00C0) continue;  // compressed or encrypted
      if (fflags & 0x0020) {          // group id byte
        if (fl < 1) continue;
        ++fb; --fl;
      }
    } else if (ver == 4) {
      if (fflags & 0x000C) continue;  // compressed or encrypted
      if (fflags & 0x0040) {
        if (fl < 1) continue;
        ++fb; --fl;
      }
      if (fflags & 0x0001) {  // data length indicator
        if (fl < 4) continue;
        fb += 4; fl -= 4;
      }
      if ((fflags & 0x0002) || (flags & 0x80)) {
        frameBody = resync(fb, fl);
        fb = frameBody.data();
        fl = frameBody.size();
      }
    }
    std::string text = decodeTextFrame(fb, fl, hooks);
    if (isTitle) { t.title = text; t.hasTitle = true; }
    else { t.artist = text; t.hasArtist = true; }
    if (t.hasTitle && t.hasArtist) break;
  }
  return t;
}

bool hasId3v1(const uint8_t* data, size_t size) {
  return size >= 128 && data[size - 128] == 'T' && data[size - 127] == 'A' && data[size - 126] == 'G';
}

TagText readId3v1(const uint8_t* data, size_t size, const TextHooks& hooks) {
  TagText t;
  if (!hasId3v1(data, size)) return t;
  const uint8_t* tag = data + size - 128;
  auto field = [&](const uint8_t* p) {
    size_t n = 30;
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == 0)) --n;
    std::string s(reinterpret_cast<const char*>(p), n);
    return cutText(s, kMaxTextBytes, hooks);
  };
  t.title = field(tag + 3);
  t.artist = field(tag + 33);
  t.hasTitle = !t.title.empty();
  t.hasArtist = !t.artist.empty();
  return t;
}

}  // namespace vbmp3
