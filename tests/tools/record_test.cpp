// tarvelmin-record as a user runs it: the pictures and the traces it
// writes, and how it refuses what it cannot do.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/one_tick.h"
#include "options.h"
#include "w32/names.h"
#include "win32.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int exitCode;
  std::string out, err;
};

std::string Slurp(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the recorder in `cwd` and collects what it says.
Result Record(const std::vector<std::string>& args, const fs::path& cwd) {
  fs::path dir = fs::temp_directory_path() / ("record-test-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::create_directories(cwd);
  std::string command = "cd '" + cwd.string() + "' && " TARVELMIN_RECORD;
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >" + (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
  int status = std::system(command.c_str());
  Result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(dir / "stdout"), Slurp(dir / "stderr")};
  fs::remove_all(dir);
  return r;
}

class Recorder : public testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("recorder-" + std::to_string(getpid()));
    fs::remove_all(m_dir);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  fs::path m_dir;
};

TEST_F(Recorder, WritesAFramePerPresentAGifAndATrace) {
  Result r = Record({"--frames", "3", "--out", "pics", "--trace", "trace"}, m_dir);
  ASSERT_EQ(0, r.exitCode) << r.err;
  EXPECT_NE(std::string::npos, r.out.find("3 frames written")) << r.out;

  // The first frame: the client area, black but for the disc at (371, 301).
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (m_dir / "pics/frame-0001.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  ASSERT_EQ(640u, image.width);
  ASSERT_EQ(480u, image.height);
  int red = 0, other = 0;
  for (size_t i = 0; i < rgb.size(); i += 3) {
    bool isRed = rgb[i] == 255 && rgb[i + 1] == 0 && rgb[i + 2] == 0;
    red += isRed;
    other += !isRed && (rgb[i] | rgb[i + 1] | rgb[i + 2]);
  }
  EXPECT_EQ(21, red);
  EXPECT_EQ(0, other);
  EXPECT_EQ(255, rgb[(301 * 640 + 371) * 3]);
  EXPECT_TRUE(fs::exists(m_dir / "pics/frame-0003.png"));
  EXPECT_FALSE(fs::exists(m_dir / "pics/frame-0004.png"));

  int error = 0;
  GifFileType* gif = DGifOpenFileName((m_dir / "pics/orbit.gif").c_str(), &error);
  ASSERT_NE(nullptr, gif);
  ASSERT_EQ(GIF_OK, DGifSlurp(gif));
  EXPECT_EQ(640, gif->SWidth);
  EXPECT_EQ(3, gif->ImageCount);
  DGifCloseFile(gif, &error);

  // The messages, in the columns the trace has always had.
  const std::string text = Slurp(m_dir / "trace");
  EXPECT_EQ(0u, text.find("       0  WM_GETMINMAXINFO       wParam=0x0              lParam=&MINMAXINFO        -> 0\n"))
      << text;
  EXPECT_NE(std::string::npos,
            text.find("\n     100  WM_TIMER               wParam=0x1              lParam=0x0                -> 0\n"))
      << text;
  EXPECT_NE(std::string::npos, text.find("WM_DESTROY")) << text;
}

// Lines of a trace with calls, from the one starting with `start`, as far
// as what nests in it goes: without the time, indented from its level.
std::vector<std::string> Subtree(const std::string& text, const std::string& start) {
  std::vector<std::string> out;
  std::istringstream lines(text);
  size_t level = 0;
  for (std::string line; std::getline(lines, line);) {
    const size_t indent = line.find_first_not_of(' ', 10);
    if (line.size() < 10 || indent == std::string::npos) continue;
    if (out.empty() && line.compare(indent, start.size(), start) != 0) continue;
    if (out.empty()) level = indent;
    else if (indent <= level) break;
    out.push_back(line.substr(level));
  }
  return out;
}

TEST_F(Recorder, TracesTheCallsOfATickAndAFailingSetUp) {
  Result r = Record({"--frames", "2", "--out", "pics", "--trace-calls", "calls"}, m_dir);
  ASSERT_EQ(0, r.exitCode) << r.err;
  EXPECT_NE(std::string::npos, r.out.find(" messages traced in calls")) << r.out;
  const std::string calls = Slurp(m_dir / "calls");
  EXPECT_EQ(kOneTick, Subtree(calls, "DispatchMessageA(msg={hwnd#1, WM_TIMER")) << calls;

  // The back surface cannot be made: the call and its HRESULT, the box,
  // the window's end; and the program ends as it should, with 0.
  r = Record({"--fail", "CreateSurface:1", "--out", "pics", "--trace-calls", "calls"}, m_dir);
  ASSERT_EQ(0, r.exitCode) << r.err;
  EXPECT_NE(std::string::npos, r.err.find("ERROR: Direct Draw Init Failed (8007000e)")) << r.err;
  std::vector<std::string> top;
  std::istringstream lines(Slurp(m_dir / "calls"));
  for (std::string line; std::getline(lines, line);)
    if (line.size() > 10 && line[10] != ' ') top.push_back(line.substr(10, line.find('(') - 10));
  const std::vector<std::string> kEnd = {"IDirectDraw::CreateSurface", "IDirectDraw::CreateSurface", "wsprintfA",
                                         "MessageBoxA", "Beep", "IDirectDrawSurface::Release",
                                         "IDirectDraw::Release", "DestroyWindow"};
  ASSERT_GE(top.size(), kEnd.size());
  EXPECT_EQ(kEnd, std::vector<std::string>(top.end() - kEnd.size(), top.end()));
  const std::string text = Slurp(m_dir / "calls");
  EXPECT_NE(std::string::npos, text.find("surface=NULL, outer=NULL) -> DDERR_OUTOFMEMORY\n")) << text;
}

TEST_F(Recorder, RefusesWhatItCannotDoInOneLineAndWritesNothing) {
  fs::create_directories(m_dir);
  std::ofstream(m_dir / "file") << "in the way";
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  for (const Case& c : {Case{{"--client", "0x480"}, "--client"}, Case{{"--client", "640"}, "--client"},
                        Case{{"--frames", "-1"}, "--frames"}, Case{{"--frames"}, "needs a value"},
                        Case{{"--show", "sideways"}, "--show"}, Case{{"--colour"}, "unknown option"},
                        Case{{"--fail", "Paint"}, "--fail"}, Case{{"--fail", "Blt:x"}, "--fail"},
                        Case{{"--trace-calls="}, "needs a file name"},
                        Case{{"--trace", "t", "--trace-calls", "t"}, "different files"},
                        Case{{"--out", (m_dir / "file/pics").string()}, "cannot make the folder"}}) {
    Result r = Record(c.args, m_dir);
    EXPECT_EQ(2, r.exitCode) << c.args[0];
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << r.err;
    EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
  }
  EXPECT_FALSE(fs::exists(m_dir / "out"));
}

TEST(RecorderOptions, ShowNamesAndSizesAreRead) {
  EXPECT_EQ(SW_SHOWMINIMIZED, w32::ShowCommandNamed("minimized"));
  EXPECT_EQ(SW_SHOWMAXIMIZED, w32::ShowCommandNamed("SW_SHOWMAXIMIZED"));
  EXPECT_EQ(SW_SHOWMINNOACTIVE, w32::ShowCommandNamed("7"));
  EXPECT_EQ(-1, w32::ShowCommandNamed("12"));
  const char* args[] = {"--client=320x200", "--frames", "5", "--show", "normal"};
  RecordOptions o;
  std::string error;
  ASSERT_TRUE(ParseRecordOptions(5, args, &o, &error)) << error;
  EXPECT_EQ(320, o.clientWidth);
  EXPECT_EQ(200, o.clientHeight);
  EXPECT_EQ(5, o.frames);
  EXPECT_EQ(SW_SHOWNORMAL, o.showCommand);
  EXPECT_EQ("out", o.out);
}

}  // namespace
