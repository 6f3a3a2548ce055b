#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "w32/names.h"

namespace {

const int kMaxFrames = 100000;
const int kMaxSide = 8192;  // the whole window must fit the largest screen we make

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// A whole decimal number in [lo, hi], nothing before or after it.
bool WholeNumber(const std::string& text, int lo, int hi, int* value) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  *value = int(v);
  return true;
}

}  // namespace

const char kRecordUsage[] =
    "usage: tarvelmin-record [--frames N] [--out DIR] [--client WxH] [--show NAME] [--trace FILE]\n"
    "                        [--trace-calls FILE] [--fail CALL[:N]]\n"
    "       tarvelmin-record --help | --version\n"
    "Runs tarvelmin on a virtual clock and writes DIR/frame-0001.png ... and DIR/orbit.gif.\n"
    "  --frames N     close the window after the N-th presented frame (default 181, one lap)\n"
    "  --out DIR      where the pictures go (default out; made if missing)\n"
    "  --client WxH   resize the client area to W x H before the first tick\n"
    "  --show NAME    show command for WinMain: normal, minimized, maximized, noactivate, show,\n"
    "                 minimize, minnoactive, na, restore, default, hide, or 0..11\n"
    "  --trace FILE   write every message the window procedure receives to FILE\n"
    "  --trace-calls FILE\n"
    "                 write every call the program makes into Win32, GDI and DirectDraw to FILE,\n"
    "                 with the messages, nested under the calls that caused them, all decoded\n"
    "  --fail CALL[:N]\n"
    "                 make CALL fail once, after N more succeed (default 0): CreateWindowExA,\n"
    "                 SetTimer, DirectDrawCreate, SetCooperativeLevel, CreateSurface, CreateClipper,\n"
    "                 SetHWnd, SetClipper, GetDC, Blt\n";

bool ParseRecordOptions(int count, const char* const* args, RecordOptions* options, std::string* error) {
  RecordOptions o;
  for (int i = 0; i < count; ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasValue = false;
    // --name=value and --name value both work.
    size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      continue;
    }
    if (arg == "--version") {
      o.version = true;
      continue;
    }
    if (arg != "--frames" && arg != "--out" && arg != "--client" && arg != "--show" && arg != "--trace" &&
        arg != "--trace-calls" && arg != "--fail") {
      *error = "unknown option '" + arg + "' (see --help)";
      return false;
    }
    if (!hasValue) {
      if (i + 1 >= count) {
        *error = arg + " needs a value";
        return false;
      }
      value = args[++i];
    }
    if (arg == "--frames") {
      if (!WholeNumber(value, 1, kMaxFrames, &o.frames)) {
        *error = "--frames takes a whole number from 1 to " + std::to_string(kMaxFrames) + ", not '" + value + "'";
        return false;
      }
    } else if (arg == "--out") {
      if (value.empty()) {
        *error = "--out needs a folder name";
        return false;
      }
      o.out = value;
    } else if (arg == "--client") {
      size_t x = Lower(value).find('x');
      if (x == std::string::npos || !WholeNumber(value.substr(0, x), 1, kMaxSide, &o.clientWidth) ||
          !WholeNumber(value.substr(x + 1), 1, kMaxSide, &o.clientHeight)) {
        *error = "--client takes WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxSide) + ", not '" + value + "'";
        return false;
      }
    } else if (arg == "--show") {
      o.showCommand = w32::ShowCommandNamed(value);
      if (o.showCommand < 0) {
        *error = "--show does not know '" + value + "' (see --help)";
        return false;
      }
    } else if (arg == "--fail") {
      const size_t colon = value.find(':');
      const std::string name = value.substr(0, colon);
      if (!w32::CallNamed(name.c_str(), &o.failCall) ||
          (colon != std::string::npos && !WholeNumber(value.substr(colon + 1), 0, kMaxFrames, &o.failSkip))) {
        *error = "--fail takes a call that can be made to fail, and :N to let N succeed first, not '" + value +
                 "' (see --help)";
        return false;
      }
      o.fail = true;
    } else {
      if (value.empty()) {
        *error = arg + " needs a file name";
        return false;
      }
      (arg == "--trace" ? o.trace : o.traceCalls) = value;
    }
  }
  if (!o.trace.empty() && o.trace == o.traceCalls) {
    *error = "--trace and --trace-calls write different files, not both '" + o.trace + "'";
    return false;
  }
  *options = o;
  return true;
}
