// ID3v2 (2.2, 2.3, 2.4) and ID3v1 tags: the title and the artist, turned into
// ANSI code page text of at most 127 bytes plus the NUL.
#ifndef VBMP3_CORE_TAGS_H
#define VBMP3_CORE_TAGS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace vbmp3 {

// How text reaches the caller's code page. The Windows build converts with
// WideCharToMultiByte and IsDBCSLeadByte; the defaults serve the tests.
struct TextHooks {
  // UTF-16 code units (native order) to bytes in the target code page.
  std::string (*fromUtf16)(const char16_t* text, size_t count, void* ctx) = nullptr;
  // True when b starts a double-byte character in the target code page.
  bool (*isLeadByte)(uint8_t b, void* ctx) = nullptr;
  void* ctx = nullptr;
};

// Default conversions: UTF-16 to ISO-8859-1 ('?' for what it cannot show),
// Shift_JIS lead bytes (0x81-0x9F, 0xE0-0xFC).
std::string defaultFromUtf16(const char16_t* text, size_t count, void* ctx);
bool shiftJisLeadByte(uint8_t b, void* ctx);

// Largest text length kept (the record holds 128 bytes with the NUL).
constexpr size_t kMaxTextBytes = 127;

// Cuts text to at most maxBytes without splitting a double-byte character;
// a lead byte without its trail byte at the end is dropped too.
std::string cutText(const std::string& text, size_t maxBytes, const TextHooks& hooks);

struct TagText {
  std::string title;
  std::string artist;
  bool hasTitle = false;
  bool hasArtist = false;
};

// Size of an ID3v2 tag at data (header, body and footer), 0 if there is none.
size_t id3v2TagSize(const uint8_t* data, size_t size);

// Reads TT2/TP1 (2.2) or TIT2/TPE1 (2.3, 2.4) from the tag at data.
TagText readId3v2(const uint8_t* data, size_t size, const TextHooks& hooks);

// Reads the ID3v1 tag in the last 128 bytes, if any.
bool hasId3v1(const uint8_t* data, size_t size);
TagText readId3v1(const uint8_t* data, size_t size, const TextHooks& hooks);

// Decodes one ID3v2 text frame body (encoding byte first) into the target
// code page; only the first string of a list is used.
std::string decodeTextFrame(const uint8_t* body, size_t len, const TextHooks& hooks);

}  // namespace vbmp3

#endif
