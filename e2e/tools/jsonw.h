// Tiny JSON writer for the test tools: builds UTF-8 text from wide strings.
#pragma once
#include <windows.h>
#include <string>
#include <cstdio>
#include <cstdint>

namespace jw {

inline std::string utf8(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), nullptr, 0, nullptr, nullptr);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, nullptr, nullptr);
  return s;
}

inline std::wstring wide(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
  return w;
}

// Quotes UTF-8 text as a JSON string.
inline std::string quote(const std::string& s) {
  std::string o = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': o += "\\\""; break;
      case '\\': o += "\\\\"; break;
      case '\n': o += "\\n"; break;
      case '\r': o += "\\r"; break;
      case '\t': o += "\\t"; break;
      default:
        if (c < 0x20) {
          char b[8];
          snprintf(b, sizeof b, "\\u%04x", c);
          o += b;
        } else {
          o += (char)c;
        }
    }
  }
  return o + "\"";
}
inline std::string quote(const std::wstring& w) { return quote(utf8(w)); }

// Object and array builders; values already in JSON form are added with raw().
class Obj {
 public:
  Obj& raw(const char* k, const std::string& v) {
    if (!s_.empty()) s_ += ",";
    s_ += quote(std::string(k)) + ":" + v;
    return *this;
  }
  Obj& str(const char* k, const std::wstring& v) { return raw(k, quote(v)); }
  Obj& str(const char* k, const std::string& v) { return raw(k, quote(v)); }
  Obj& num(const char* k, long long v) { return raw(k, std::to_string(v)); }
  Obj& boolean(const char* k, bool v) { return raw(k, v ? "true" : "false"); }
  std::string done() const { return "{" + s_ + "}"; }
 private:
  std::string s_;
};

class Arr {
 public:
  Arr& raw(const std::string& v) {
    if (!s_.empty()) s_ += ",";
    s_ += v;
    return *this;
  }
  Arr& num(long long v) { return raw(std::to_string(v)); }
  Arr& str(const std::wstring& v) { return raw(quote(v)); }
  std::string done() const { return "[" + s_ + "]"; }
 private:
  std::string s_;
};

}  // namespace jw
