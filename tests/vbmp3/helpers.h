// Shared helpers of the decoder core tests: fixture files, hand-made tags
// and frames, and a Shift_JIS converter (glibc iconv) standing in for the
// ANSI code page of a Japanese Windows.
#ifndef VBMP3_TESTS_HELPERS_H
#define VBMP3_TESTS_HELPERS_H

#include <cstdint>
#include <string>
#include <vector>

#include "core/tags.h"
#include "core/track.h"

namespace testing_vbmp3 {

using Bytes = std::vector<uint8_t>;

// Folder of the sox/lame fixtures (from --fixtures=DIR).
std::string fixtureDir();
Bytes fixture(const std::string& name);

// UTF-16 to CP932 through iconv, and the matching lead-byte rule.
vbmp3::TextHooks sjisHooks();
// The CP932 bytes of a UTF-8 string.
std::string sjis(const std::string& utf8);

// ID3v2 pieces.
Bytes syncsafe(uint32_t v);
Bytes be32(uint32_t v);
Bytes utf16le(const std::u16string& s, bool bom);
Bytes utf16be(const std::u16string& s, bool bom);
// A v2.3/v2.4 frame (4-char id) or a v2.2 frame (3-char id).
Bytes frame(int version, const std::string& id, const Bytes& body, uint16_t flags = 0);
Bytes tag(int version, const Bytes& frames, uint8_t flags = 0);
Bytes cat(std::initializer_list<Bytes> parts);
Bytes str(const std::string& s);

// The audio frames of a fixture without its tags.
Bytes audioOf(const Bytes& file);

vbmp3::TrackMeta analyze(const Bytes& b, bool* ok = nullptr,
                         const vbmp3::TextHooks& hooks = vbmp3::TextHooks());

}  // namespace testing_vbmp3

#endif
