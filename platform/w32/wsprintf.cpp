// user32's wsprintfA: the small printf of Windows. No floating point; %l
// values are 32-bit as on Windows; output stops at 1024 bytes with the
// terminating zero, and the result is the number of characters stored.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>

#include "internal.h"

namespace {

constexpr size_t kMaxOutput = 1024;  // bytes, terminating zero included

void Pad(std::string& out, size_t count, char c) {
  out.append(count, c);
}

// Appends one converted field honouring '-', '0', width and precision.
void Emit(std::string& out, const std::string& body, bool negative, const std::string& prefix, bool left,
          bool zero, int width, int precision, bool numeric) {
  std::string digits = body;
  if (numeric && precision >= 0 && int(digits.size()) < precision) digits.insert(0, size_t(precision) - digits.size(), '0');
  std::string sign = negative ? "-" : "";
  size_t len = sign.size() + prefix.size() + digits.size();
  size_t pad = width > 0 && size_t(width) > len ? size_t(width) - len : 0;
  if (left) {
    out += sign + prefix + digits;
    Pad(out, pad, ' ');
  } else if (zero && numeric) {
    out += sign + prefix;
    Pad(out, pad, '0');
    out += digits;
  } else {
    Pad(out, pad, ' ');
    out += sign + prefix + digits;
  }
}

std::string ToBase(uint32_t v, unsigned base, bool upper) {
  const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char buf[16];
  int i = 0;
  do {
    buf[i++] = set[v % base];
    v /= base;
  } while (v);
  std::string s;
  while (i) s += buf[--i];
  return s;
}

}  // namespace

int wsprintfA(LPSTR buffer, LPCSTR format, ...) {
  if (!buffer) return 0;
  if (!format) {
    buffer[0] = '\0';
    return 0;
  }
  std::string out;
  va_list ap;
  va_start(ap, format);
  for (const char* p = format; *p && out.size() < kMaxOutput; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += '%';
      continue;
    }
    bool left = false, zero = false, alt = false;
    for (;; ++p) {
      if (*p == '-')
        left = true;
      else if (*p == '0')
        zero = true;
      else if (*p == '#')
        alt = true;
      else
        break;
    }
    // Nothing can be wider than the whole output, so larger numbers are
    // read but held at that size.
    int width = 0;
    while (*p >= '0' && *p <= '9') width = std::min(int(kMaxOutput), width * 10 + (*p++ - '0'));
    int precision = -1;
    if (*p == '.') {
      precision = 0;
      ++p;
      while (*p >= '0' && *p <= '9') precision = std::min(int(kMaxOutput), precision * 10 + (*p++ - '0'));
    }
    // 'l' and 'h' size prefixes: values are 32-bit either way here, as on
    // Windows, where long is 32 bits.
    while (*p == 'l' || *p == 'h' || *p == 'w') ++p;
    switch (*p) {
      case 'c':
      case 'C': {
        char c = char(va_arg(ap, int));
        Emit(out, std::string(1, c), false, "", left, false, width, -1, false);
        break;
      }
      case 's':
      case 'S': {
        const char* s = va_arg(ap, const char*);
        if (!s) s = "(null)";
        // With a precision the text need not end within reach: read no further.
        size_t len = 0;
        size_t limit = precision >= 0 ? size_t(precision) : kMaxOutput;
        while (len < limit && s[len]) ++len;
        std::string body(s, len);
        Emit(out, body, false, "", left, false, width, -1, false);
        break;
      }
      case 'd':
      case 'i': {
        int32_t v = int32_t(va_arg(ap, int));
        uint32_t mag = v < 0 ? uint32_t(0) - uint32_t(v) : uint32_t(v);
        Emit(out, ToBase(mag, 10, false), v < 0, "", left, zero, width, precision, true);
        break;
      }
      case 'u':
        Emit(out, ToBase(uint32_t(va_arg(ap, unsigned)), 10, false), false, "", left, zero, width, precision, true);
        break;
      case 'x':
      case 'X': {
        uint32_t v = uint32_t(va_arg(ap, unsigned));
        bool upper = *p == 'X';
        Emit(out, ToBase(v, 16, upper), false, alt ? (upper ? "0X" : "0x") : "", left, zero, width, precision,
             true);
        break;
      }
      case '\0':
        --p;  // a lone '%' at the end prints nothing
        break;
      default:
        out += *p;  // unknown conversions print the letter itself
        break;
    }
  }
  va_end(ap);
  if (out.size() > kMaxOutput - 1) out.resize(kMaxOutput - 1);
  std::memcpy(buffer, out.data(), out.size());
  buffer[out.size()] = '\0';
  return int(out.size());
}
