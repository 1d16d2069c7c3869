#include "helpers.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace testing_vbmp3 {

std::string g_dir = "fixtures";

std::string fixtureDir() { return g_dir; }

Bytes fixture(const std::string& name) {
  Bytes b;
  const std::string path = g_dir + "/" + name;
  EXPECT_TRUE(vbmp3::readFileBytes(path.c_str(), b)) << "fixture missing: " << path;
  return b;
}

namespace {
std::string iconvTo(const char* to, const char* from, const char* in, size_t len) {
  iconv_t cd = iconv_open(to, from);
  if (cd == iconv_t(-1)) return std::string();
  std::string out(len * 4 + 16, '\0');
  char* src = const_cast<char*>(in);
  size_t srcLeft = len;
  char* dst = &out[0];
  size_t dstLeft = out.size();
  while (srcLeft > 0) {
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == size_t(-1)) {
      if (errno == EILSEQ || errno == EINVAL) {
        // Not in the code page: one '?' per UTF-16 unit, as Windows does.
        *dst++ = '?';
        --dstLeft;
        const size_t skip = std::strcmp(from, "UTF-16LE") == 0 ? 2 : 1;
        src += skip;
        srcLeft = srcLeft > skip ? srcLeft - skip : 0;
        if (errno == EINVAL) break;
        continue;
      }
      break;
    }
  }
  iconv_close(cd);
  out.resize(out.size() - dstLeft);
  return out;
}

std::string toSjis(const char16_t* text, size_t count, void*) {
  return iconvTo("CP932", "UTF-16LE", reinterpret_cast<const char*>(text), count * 2);
}
}  // namespace

vbmp3::TextHooks sjisHooks() {
  vbmp3::TextHooks h;
  h.fromUtf16 = toSjis;
  h.isLeadByte = vbmp3::shiftJisLeadByte;
  return h;
}

std::string sjis(const std::string& utf8) { return iconvTo("CP932", "UTF-8", utf8.data(), utf8.size()); }

Bytes syncsafe(uint32_t v) {
  return {uint8_t((v >> 21) & 0x7F), uint8_t((v >> 14) & 0x7F), uint8_t((v >> 7) & 0x7F), uint8_t(v & 0x7F)};
}
Bytes be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }

Bytes utf16le(const std::u16string& s, bool bom) {
  Bytes b;
  if (bom) { b.push_back(0xFF); b.push_back(0xFE); }
  for (char16_t c : s) { b.push_back(uint8_t(c & 0xFF)); b.push_back(uint8_t(c >> 8)); }
  return b;
}
Bytes utf16be(const std::u16string& s, bool bom) {
  Bytes b;
  if (bom) { b.push_back(0xFE); b.push_back(0xFF); }
  for (char16_t c : s) { b.push_back(uint8_t(c >> 8)); b.push_back(uint8_t(c & 0xFF)); }
  return b;
}

Bytes frame(int version, const std::string& id, const Bytes& body, uint16_t flags) {
  Bytes f(id.begin(), id.end());
  const uint32_t n = uint32_t(body.size());
  if (version == 2) {
    f.push_back(uint8_t(n >> 16)); f.push_back(uint8_t(n >> 8)); f.push_back(uint8_t(n));
  } else {
    Bytes size = version == 4 ? syncsafe(n) : be32(n);
    f.insert(f.end(), size.begin(), size.end());
    f.push_back(uint8_t(flags >> 8));
    f.push_back(uint8_t(flags));
  }
  f.insert(f.end(), body.begin(), body.end());
  return f;
}

Bytes tag(int version, const Bytes& frames, uint8_t flags) {
  Bytes t = {'I', 'D', '3', uint8_t(version), 0, flags};
  Bytes size = syncsafe(uint32_t(frames.size()));
  t.insert(t.end(), size.begin(), size.end());
  t.insert(t.end(), frames.begin(), frames.end());
  return t;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes str(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes audioOf(const Bytes& file) {
  vbmp3::TrackMeta m;
  if (!vbmp3::analyzeTrack(file.data(), file.size(), vbmp3::TextHooks(), m)) return Bytes();
  // From the first frame (a Xing frame included) to the end of the frames.
  return Bytes(file.begin() + long(m.firstFrame), file.begin() + long(m.audioEnd));
}

vbmp3::TrackMeta analyze(const Bytes& b, bool* ok, const vbmp3::TextHooks& hooks) {
  vbmp3::TrackMeta m;
  const bool r = vbmp3::analyzeTrack(b.data(), b.size(), hooks, m);
  if (ok) *ok = r;
  return m;
}

}  // namespace testing_vbmp3

// The fixture folder comes in as --fixtures=DIR (or VBMP3_FIXTURES); the
// rest goes to GoogleTest.
int main(int argc, char** argv) {
  if (const char* env = std::getenv("VBMP3_FIXTURES")) testing_vbmp3::g_dir = env;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--fixtures=", 11) == 0) testing_vbmp3::g_dir = argv[i] + 11;
    else args.push_back(argv[i]);
  }
  int n = int(args.size());
  args.push_back(nullptr);
  ::testing::InitGoogleTest(&n, args.data());
  return RUN_ALL_TESTS();
}
