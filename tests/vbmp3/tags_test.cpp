// ID3v2 and ID3v1 text: versions, encodings, tag features, and the cut at
// 127 bytes that never splits a double-byte character.
#include <gtest/gtest.h>

#include "helpers.h"

using namespace vbmp3;
using namespace testing_vbmp3;

namespace {

const char kJapaneseUtf8[] = "\xE6\x9B\xB2\xE5\x90\x8D\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // 曲名テスト
const std::u16string kJapanese16 = u"\u66f2\u540d\u30c6\u30b9\u30c8";

Bytes textBody(uint8_t enc, const Bytes& text) { return cat({Bytes{enc}, text}); }

struct TagCase {
  const char* what;
  Bytes tag;
  std::string title;
  std::string artist;
};

std::vector<TagCase> tagCases() {
  const std::string jp = sjis(kJapaneseUtf8);
  // Unsynchronised 2.3 tag: the text holds 0xFF 0xE0 (a false sync), which
  // the writer turns into FF 00 E0.
  Bytes unsyncFrames = frame(3, "TIT2", Bytes{0, 'A', 0xFF, 0x00, 0xE0, 'B'});
  unsyncFrames[7] = 5;  // size after resynchronisation
  // 2.3 extended header (size 6 + 4) before the frames.
  Bytes ext3 = cat({be32(6), Bytes(6, 0), frame(3, "TPE1", textBody(0, str("Ext Artist")))});
  // 2.4 extended header (size counts itself) and a footer.
  Bytes ext4Frames = cat({syncsafe(6), Bytes{1, 0}, frame(4, "TIT2", textBody(3, str("Footer")))});
  Bytes ext4 = tag(4, ext4Frames, 0x40 | 0x10);
  ext4 = cat({ext4, str("3DI"), Bytes{4, 0, 0x50}, syncsafe(uint32_t(ext4Frames.size()))});
  // 2.4 frame with its own unsynchronisation and a data length indicator.
  Bytes perFrame = frame(4, "TIT2", cat({syncsafe(5), Bytes{0, 'Q', 0xFF, 0x00, 'R'}}), 0x0003);
  return {
      {"2.2 TT2/TP1 Latin-1", tag(2, cat({frame(2, "TT2", textBody(0, str("Old Title"))), frame(2, "TP1", textBody(0, str("Old Artist")))})),
       "Old Title", "Old Artist"},
      {"2.3 UTF-16 little-endian BOM", tag(3, cat({frame(3, "TIT2", textBody(1, utf16le(kJapanese16, true))),
                                                 frame(3, "TPE1", textBody(1, utf16le(u"Artist", true)))})),
       jp, "Artist"},
      {"2.3 UTF-16 big-endian BOM", tag(3, frame(3, "TIT2", textBody(1, utf16be(kJapanese16, true)))), jp, ""},
      {"2.4 UTF-8", tag(4, cat({frame(4, "TPE1", textBody(3, str(kJapaneseUtf8))), frame(4, "TIT2", textBody(3, str("Title 8")))})),
       "Title 8", jp},
      {"2.4 UTF-16BE without BOM", tag(4, frame(4, "TIT2", textBody(2, utf16be(kJapanese16, false)))), jp, ""},
      {"2.4 list of strings: the first", tag(4, frame(4, "TIT2", textBody(3, cat({str("One"), Bytes{0}, str("Two")})))), "One", ""},
      {"Latin-1 frame with Shift_JIS bytes passed on", tag(3, frame(3, "TIT2", textBody(0, str(jp)))), jp, ""},
      {"NUL-terminated UTF-16 with trailing bytes", tag(3, frame(3, "TIT2", textBody(1, cat({utf16le(u"Hi", true), Bytes{0, 0, 'x', 0}})))), "Hi", ""},
      {"2.3 unsynchronised tag", tag(3, unsyncFrames, 0x80), std::string("A\xFF\xE0" "B"), ""},
      {"2.3 extended header", tag(3, ext3, 0x40), "", "Ext Artist"},
      {"2.4 extended header and footer", ext4, "Footer", ""},
      {"2.4 frame unsync and data length", tag(4, perFrame), std::string("Q\xFFR"), ""},
      {"2.4 frame sizes written as plain numbers",
       tag(4, cat({Bytes{'T', 'I', 'T', '2', 0, 0, 0, 0x81, 0, 0}, textBody(0, str(std::string(128, 'p')))})),
       std::string(127, 'p'), ""},
      {"compressed frame skipped", tag(3, frame(3, "TIT2", textBody(0, str("zzz")), 0x0080)), "", ""},
      {"unknown encoding byte", tag(3, frame(3, "TIT2", textBody(9, str("zzz")))), "", ""},
      {"1 MB picture before the title",
       tag(3, cat({frame(3, "APIC", Bytes(1 << 20, 0xFF)), frame(3, "TIT2", textBody(0, str("After Picture")))})),
       "After Picture", ""},
      {"frame larger than the tag", tag(3, cat({frame(3, "TPE1", textBody(0, str("Kept"))), Bytes{'T', 'I', 'T', '2', 0, 0x10, 0, 0, 0, 0, 0, 'x'}})),
       "", "Kept"},
      {"padding after the frames", tag(3, cat({frame(3, "TIT2", textBody(0, str("Padded"))), Bytes(500, 0)})), "Padded", ""},
  };
}

TEST(Id3v2, ReadsTitleAndArtist) {
  const TextHooks hooks = sjisHooks();
  for (const TagCase& c : tagCases()) {
    SCOPED_TRACE(c.what);
    TagText t = readId3v2(c.tag.data(), c.tag.size(), hooks);
    EXPECT_EQ(t.title, c.title);
    EXPECT_EQ(t.artist, c.artist);
    EXPECT_EQ(id3v2TagSize(c.tag.data(), c.tag.size()), c.tag.size());
  }
}

TEST(Id3v2, TagInFrontOfAudioGivesTheTrackItsTexts) {
  const Bytes audio = fixture("notag.mp3");
  for (const TagCase& c : tagCases()) {
    SCOPED_TRACE(c.what);
    bool ok = false;
    TrackMeta m = analyze(cat({c.tag, audio}), &ok, sjisHooks());
    ASSERT_TRUE(ok);
    EXPECT_EQ(m.title, c.title);
    EXPECT_EQ(m.artist, c.artist);
    EXPECT_EQ(m.seconds, 3);
  }
}

TEST(Id3v2, CutShortTagsAreReadSafely) {
  Bytes full = tag(3, cat({frame(3, "TPE1", textBody(1, utf16le(u"Someone", true))), frame(3, "TIT2", textBody(0, str("Title")))}));
  for (size_t n = 0; n <= full.size(); ++n) {
    // Each prefix in its own allocation, so ASan sees any read past it.
    Bytes cut(full.begin(), full.begin() + long(n));
    TagText t = readId3v2(cut.data(), cut.size(), sjisHooks());
    if (n == full.size()) {
      EXPECT_EQ(t.title, "Title");
      EXPECT_EQ(t.artist, "Someone");
    }
  }
}

TEST(Id3v1, TrimsAndFallsBack) {
  auto v1 = [](const Bytes& title, const Bytes& artist) {
    Bytes t(128, 0);
    t[0] = 'T'; t[1] = 'A'; t[2] = 'G';
    std::copy(title.begin(), title.end(), t.begin() + 3);
    std::copy(artist.begin(), artist.end(), t.begin() + 33);
    return t;
  };
  const std::string jp = sjis(kJapaneseUtf8);  // 10 bytes
  // 29 bytes of text and a lead byte whose trail byte did not fit.
  Bytes cutLead = str(std::string(29, 'x') + "\x82");
  struct Case {
    const char* what;
    Bytes tag;
    std::string title, artist;
  } cases[] = {
      {"trailing blanks and NULs", v1(str("Song   "), str("Band \0 ")), "Song", "Band"},
      {"Shift_JIS bytes", v1(str(jp), str(jp + jp + jp)), jp, jp + jp + jp},
      {"lead byte cut off at 30 bytes", v1(cutLead, str("a")), std::string(29, 'x'), "a"},
      {"all 30 bytes used", v1(str(std::string(30, 'L')), str(std::string(30, 'R'))), std::string(30, 'L'), std::string(30, 'R')},
      {"empty fields", v1(Bytes(), Bytes()), "", ""},
  };
  const Bytes audio = audioOf(fixture("notag.mp3"));
  ASSERT_FALSE(audio.empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TagText t = readId3v1(c.tag.data(), c.tag.size(), sjisHooks());
    EXPECT_EQ(t.title, c.title);
    EXPECT_EQ(t.artist, c.artist);
    bool ok = false;
    TrackMeta m = analyze(cat({audio, c.tag}), &ok, sjisHooks());
    ASSERT_TRUE(ok);
    EXPECT_EQ(m.title, c.title);
    EXPECT_EQ(m.artist, c.artist);
  }
}

TEST(Tags, Id3v2WinsFieldByFieldOverId3v1) {
  Bytes v1(128, 0);
  v1[0] = 'T'; v1[1] = 'A'; v1[2] = 'G';
  const std::string t1 = "V1 Title", a1 = "V1 Artist";
  std::copy(t1.begin(), t1.end(), v1.begin() + 3);
  std::copy(a1.begin(), a1.end(), v1.begin() + 33);
  const Bytes audio = audioOf(fixture("notag.mp3"));
  Bytes v2 = tag(3, frame(3, "TIT2", textBody(0, str("V2 Title"))));
  Bytes v2Empty = tag(3, cat({frame(3, "TIT2", Bytes{0}), frame(3, "TPE1", textBody(0, str("V2 Artist")))}));
  bool ok;
  TrackMeta m = analyze(cat({v2, audio, v1}), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.title, "V2 Title");
  EXPECT_EQ(m.artist, "V1 Artist");
  m = analyze(cat({v2Empty, audio, v1}), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(m.title, "V1 Title");
  EXPECT_EQ(m.artist, "V2 Artist");
}

TEST(CutText, NeverSplitsADoubleByteCharacter) {
  const TextHooks hooks = sjisHooks();
  const std::string kanji = sjis("\xE6\x9B\xB2");  // one 2-byte character
  ASSERT_EQ(kanji.size(), 2u);
  auto rep = [](const std::string& s, int n) { std::string r; for (int i = 0; i < n; ++i) r += s; return r; };
  struct Case {
    const char* what;
    std::string in;
    size_t length;
  } cases[] = {
      {"127 single bytes of 200", std::string(200, 'a'), 127},
      {"63 characters fit (126 bytes)", rep(kanji, 70), 126},
      {"one byte and 63 characters: 127", "a" + rep(kanji, 70), 127},
      {"two bytes and 62 characters: 126", "ab" + rep(kanji, 70), 126},
      {"half-width katakana are single bytes", std::string(130, '\xB1'), 127},
      {"dangling lead byte at the end dropped", "abc\x82", 3},
      {"stops at a NUL", std::string("ab\0cd", 5), 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = cutText(c.in, kMaxTextBytes, hooks);
    EXPECT_EQ(out.size(), c.length);
    // Walk the result: every lead byte has its trail byte.
    for (size_t i = 0; i < out.size(); ++i) {
      if (shiftJisLeadByte(uint8_t(out[i]), nullptr)) {
        ASSERT_LT(i + 1, out.size());
        ++i;
      }
    }
  }
}

TEST(CutText, LongTagTextsArriveCutCleanly) {
  // 80 kanji in UTF-16 become 160 Shift_JIS bytes: 63 characters remain.
  std::u16string longTitle;
  for (int i = 0; i < 80; ++i) longTitle += u'\u66f2';
  Bytes t = tag(3, frame(3, "TIT2", textBody(1, utf16le(u"x" + longTitle, true))));
  TagText r = readId3v2(t.data(), t.size(), sjisHooks());
  EXPECT_EQ(r.title.size(), 127u);
  EXPECT_EQ(r.title.substr(0, 3), "x" + sjis("\xE6\x9B\xB2"));
  // The default conversion keeps Latin-1 and marks the rest.
  TextHooks latin1;
  latin1.isLeadByte = [](uint8_t, void*) { return false; };
  r = readId3v2(t.data(), t.size(), latin1);
  EXPECT_EQ(r.title, "x" + std::string(80, '?'));
}

TEST(Utf8, BadSequencesBecomeReplacementCharacters) {
  struct Case {
    const char* what;
    Bytes in;
    std::string out;  // through the default conversion: '?' for non-Latin-1
  } cases[] = {
      {"plain", str("abc"), "abc"},
      {"Latin-1 letter", str("\xC3\xA9"), "\xE9"},
      {"truncated sequence: one mark per byte", str("a\xE3\x83"), "a??"},
      {"lone continuation byte", str("a\x80" "b"), "a?b"},
      {"overlong form", str("\xC0\xAF"), "??"},
      {"surrogate code point", str("\xED\xA0\x80"), "???"},
      {"BOM skipped", str("\xEF\xBB\xBFok"), "ok"},
      {"four-byte character", str("\xF0\x9F\x8E\xB5!"), "?" "?!"},
  };
  // A single-byte code page: Latin-1 through the default conversion.
  TextHooks latin1;
  latin1.isLeadByte = [](uint8_t, void*) { return false; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes body = cat({Bytes{3}, c.in});
    EXPECT_EQ(decodeTextFrame(body.data(), body.size(), latin1), c.out);
  }
}

}  // namespace
