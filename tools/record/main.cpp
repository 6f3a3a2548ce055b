// tarvelmin-record: runs the program on the headless host, on its virtual
// clock and as fast as the machine allows, and keeps a picture of the
// client area after every presented frame: PNG files and a looping GIF.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "headless.h"
#include "options.h"
#include "pictures.h"
#include "w32/names.h"
#include "w32/startup.h"
#include "w32/trace.h"
#include "win32.h"

namespace fs = std::filesystem;

namespace {

const char kTool[] = "tarvelmin-record";
const char kProgramClass[] = "tarvelmin";
const int kTickCentiseconds = 10;  // the program's 100 ms timer

// A trace file: one line an event, in the order the events began, indented
// by how deeply they nest; a line is complete once its event returns, and
// lines are written when the outermost event returns. With calls, every
// event as the layer decodes it; without, the window procedure's messages
// only, in the columns this file has always had.
class TraceFile : public w32::trace::Listener {
 public:
  explicit TraceFile(bool calls) : m_calls(calls) {}

  bool Open(const std::string& path, std::string* error) {
    m_file = std::fopen(path.c_str(), "w");
    if (!m_file) *error = "cannot write the trace " + path + ": " + std::strerror(errno);
    return m_file != nullptr;
  }
  void Began(const w32::trace::Event& e) override {
    if (!Wanted(e)) return;
    char line[160];
    if (m_calls) {
      std::snprintf(line, sizeof line, "%8lu  %*s", (unsigned long)e.time, int(2 * m_open.size()), "");
    } else {
      char name[16];
      const char* known = w32::MessageName(e.message);
      if (!known) std::snprintf(name, sizeof name, "0x%04X", e.message);
      char lp[32];
      // What lParam points to, rather than an address that differs from run to run.
      const char* pointed = w32::RecordNamed(e.message, e.wParam);
      if (pointed)
        std::snprintf(lp, sizeof lp, "%s", pointed);
      else
        std::snprintf(lp, sizeof lp, "0x%" PRIxPTR, uintptr_t(e.lParam));
      std::snprintf(line, sizeof line, "%8lu  %*s%-22s wParam=0x%-14" PRIxPTR " lParam=%-18s", (unsigned long)e.time,
                    int(2 * m_open.size()), "", known ? known : name, uintptr_t(e.wParam), lp);
    }
    m_open.push_back(m_lines.size());
    m_lines.push_back(line);
    ++(e.kind == w32::trace::EventKind::Message ? m_messages : m_callCount);
  }
  void Returned(const w32::trace::Event& e) override {
    if (!Wanted(e) || m_open.empty()) return;
    std::string& line = m_lines[m_open.back()];
    if (m_calls)
      line += w32::trace::Line(e);
    else
      line += " -> " + e.result;
    m_open.pop_back();
    if (!m_open.empty()) return;
    for (const std::string& l : m_lines) std::fprintf(m_file, "%s\n", l.c_str());
    m_lines.clear();
  }
  // False when anything failed to reach the file.
  bool Close() {
    if (!m_file) return true;
    for (const std::string& l : m_lines) std::fprintf(m_file, "%s\n", l.c_str());
    bool ok = !std::ferror(m_file);
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    return ok;
  }
  size_t Messages() const { return m_messages; }
  size_t Calls() const { return m_callCount; }

 private:
  bool Wanted(const w32::trace::Event& e) const { return m_calls || e.kind == w32::trace::EventKind::Message; }

  bool m_calls;
  std::FILE* m_file = nullptr;
  std::vector<std::string> m_lines;  // lines of the outermost event still running
  std::vector<size_t> m_open;        // lines whose event has not returned yet
  size_t m_messages = 0;
  size_t m_callCount = 0;
};

bool IsFrameFile(const fs::path& p) {
  std::string name = p.filename().string();
  if (name.size() < 14 || name.compare(0, 6, "frame-") != 0 || name.compare(name.size() - 4, 4, ".png") != 0)
    return false;
  return std::all_of(name.begin() + 6, name.end() - 4, [](char c) { return c >= '0' && c <= '9'; });
}

class Recording {
 public:
  explicit Recording(const RecordOptions& o) : m_options(o), m_dir(o.out) {}

  // Makes the folder and clears the last recording out of it.
  bool Prepare(std::string* error) {
    std::error_code ec;
    fs::create_directories(m_dir, ec);
    if (ec || !fs::is_directory(m_dir)) {
      *error = "cannot make the folder " + m_dir.string() + ": " + (ec ? ec.message() : "a file is in the way");
      return false;
    }
    fs::path probe = m_dir / ".tarvelmin-record-probe";
    std::FILE* f = std::fopen(probe.c_str(), "w");
    if (!f) {
      *error = "cannot write in the folder " + m_dir.string() + ": " + std::strerror(errno);
      return false;
    }
    std::fclose(f);
    fs::remove(probe, ec);
    for (const auto& entry : fs::directory_iterator(m_dir, ec))
      if (IsFrameFile(entry.path())) fs::remove(entry.path(), ec);
    fs::remove(m_dir / "orbit.gif", ec);
    return true;
  }

  // Called right after each frame the program presents.
  void OnPresent() {
    ++m_presented;
    w32::trace::Aside notTheProgram;
    HWND hwnd = FindWindowA(kProgramClass, NULL);
    RECT client = {0, 0, 0, 0};
    POINT origin = {0, 0};
    GetClientRect(hwnd, &client);
    ClientToScreen(hwnd, &origin);
    if (m_error.empty() && client.right > 0 && client.bottom > 0) Keep(client, origin);
    if ((m_presented == m_options.frames || !m_error.empty()) && !m_closing) Close(hwnd);
  }

  // The window's close box, as a user would click it.
  void Close(HWND hwnd) {
    m_closing = true;
    if (hwnd) headless::CloseAt(headless::Now(), hwnd);
  }
  bool Closing() const { return m_closing; }

  // Finishes the GIF; on any failure, removes everything this run wrote.
  bool Finish(std::string* error) {
    if (m_gifOpen) {
      std::string gifError;
      if (!m_gif.Close(&gifError)) GifTrouble(gifError);
    }
    if (m_gifOpen) {
      std::error_code ec;
      fs::rename(m_dir / ".orbit.gif.part", m_dir / "orbit.gif", ec);
      if (ec) m_error = "cannot write " + (m_dir / "orbit.gif").string() + ": " + ec.message();
    }
    if (m_error.empty()) return true;
    *error = m_error;
    std::error_code ec;
    for (const fs::path& p : m_written) fs::remove(p, ec);
    fs::remove(m_dir / ".orbit.gif.part", ec);
    fs::remove(m_dir / "orbit.gif", ec);
    return false;
  }

  int PresentedCount() const { return m_presented; }
  int Written() const { return int(m_written.size()); }
  bool GifWritten() const { return m_gifOpen; }
  const std::string& GifNote() const { return m_gifNote; }

 private:
  void Keep(const RECT& client, POINT origin) {
    Picture p;
    p.width = client.right;
    p.height = client.bottom;
    p.pixels = headless::ScreenPixels(RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom});
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.png", Written() + 1);
    fs::path part = m_dir / (std::string(".") + name + ".part");
    if (!WritePng(part.string(), p, &m_error)) {
      std::error_code ec;
      fs::remove(part, ec);
      return;
    }
    std::error_code ec;
    fs::rename(part, m_dir / name, ec);
    if (ec) {
      m_error = "cannot write " + (m_dir / name).string() + ": " + ec.message();
      fs::remove(part, ec);
      return;
    }
    m_written.push_back(m_dir / name);
    AddToGif(p);
  }

  void AddToGif(const Picture& p) {
    if (!m_gifNote.empty()) return;  // given up on already
    std::string error;
    if (!m_gifOpen) {
      m_gifOpen = true;
      if (!m_gif.Open((m_dir / ".orbit.gif.part").string(), p.width, p.height, kTickCentiseconds, &error))
        return GifTrouble(error);
    }
    if (!m_gif.Add(p, &error)) GifTrouble(error);
  }

  // The frames stand on their own; a GIF that cannot be made is left out.
  void GifTrouble(const std::string& why) {
    m_gifNote = why;
    m_gifOpen = false;
    std::error_code ec;
    fs::remove(m_dir / ".orbit.gif.part", ec);
  }

  RecordOptions m_options;
  fs::path m_dir;
  int m_presented = 0;
  bool m_closing = false;
  std::vector<fs::path> m_written;
  GifWriter m_gif;
  bool m_gifOpen = false;
  std::string m_gifNote;
  std::string m_error;  // a frame that could not be written ends the run
};

int Refuse(const std::string& why) {
  std::fprintf(stderr, "%s: %s\n", kTool, why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  RecordOptions options;
  std::string error;
  if (!ParseRecordOptions(argc - 1, argv + 1, &options, &error)) return Refuse(error);
  if (options.help) {
    std::fputs(kRecordUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%s %s\n", kTool, TARVELMIN_VERSION);
    return 0;
  }

  // A screen large enough for the whole window.
  const int frameX = GetSystemMetrics(SM_CXFRAME), frameY = GetSystemMetrics(SM_CYFRAME);
  const int caption = GetSystemMetrics(SM_CYCAPTION);
  const int clientW = options.clientWidth ? options.clientWidth : 640;
  const int clientH = options.clientHeight ? options.clientHeight : 480;
  if (!headless::Reset(std::max(1024, clientW + 2 * frameX), std::max(768, clientH + 2 * frameY + caption)))
    return Refuse("cannot make a screen for a client area of " + std::to_string(clientW) + "x" +
                  std::to_string(clientH));

  Recording recording(options);
  if (!recording.Prepare(&error)) return Refuse(error);
  TraceFile messages(false), calls(true);
  for (auto [path, file] : {std::pair{&options.trace, &messages}, std::pair{&options.traceCalls, &calls}}) {
    if (path->empty()) continue;
    if (!file->Open(*path, &error)) return Refuse(error);
    w32::trace::AddListener(file);
  }
  if (options.showCommand >= 0) headless::SetShowCommand(options.showCommand);
  if (options.fail) headless::FailNext(options.failCall, options.failSkip);
  if (options.clientWidth) {
    // The user drags the frame before the first tick.
    headless::At(0, [&] {
      w32::trace::Aside notTheProgram;
      if (HWND hwnd = FindWindowA(kProgramClass, NULL))
        headless::ResizeClientAt(headless::Now(), hwnd, options.clientWidth, options.clientHeight);
    });
  }
  headless::WatchPrimaryBlts([&] { recording.OnPresent(); });
  // A program that never presents (never active) is closed after a while.
  const DWORD giveUp = DWORD(std::min<int64_t>(int64_t(options.frames) * 1000 + 10000, INT32_MAX));
  headless::At(giveUp, [&] {
    w32::trace::Aside notTheProgram;
    if (!recording.Closing()) recording.Close(FindWindowA(kProgramClass, NULL));
  });

  const int exitCode = w32::StartWinMain(0, nullptr);
  const double seconds = headless::Now() / 1000.0;
  headless::Reset();  // no watcher outlives what it refers to

  const bool messagesTraced = messages.Close(), callsTraced = calls.Close();
  if (!recording.Finish(&error)) return Refuse(error);
  if (!messagesTraced) return Refuse("cannot write the trace " + options.trace);
  if (!callsTraced) return Refuse("cannot write the trace " + options.traceCalls);

  const std::string dir = fs::path(options.out).string();
  if (recording.Written() > 0)
    std::printf("%s: %d frame%s written to %s/ (frame-0001.png to frame-%04d.png%s), %.1f virtual seconds\n", kTool,
                recording.Written(), recording.Written() == 1 ? "" : "s", dir.c_str(), recording.Written(),
                recording.GifWritten() ? ", orbit.gif" : "", seconds);
  else
    std::printf("%s: no frame written (the client area was never visible), %.1f virtual seconds\n", kTool, seconds);
  if (recording.PresentedCount() < options.frames)
    std::printf("%s: the program presented %d of %d frames before it was closed (it was not the active "
                "application)\n",
                kTool, recording.PresentedCount(), options.frames);
  if (!recording.GifNote().empty()) std::printf("%s: orbit.gif left out: %s\n", kTool, recording.GifNote().c_str());
  if (!options.trace.empty())
    std::printf("%s: %zu window procedure calls traced in %s\n", kTool, messages.Messages(), options.trace.c_str());
  if (!options.traceCalls.empty())
    std::printf("%s: %zu calls and %zu messages traced in %s\n", kTool, calls.Calls(), calls.Messages(),
                options.traceCalls.c_str());
  return exitCode;
}
