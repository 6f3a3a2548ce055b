// tarvelmin-record as a user runs it: the pictures and the trace it writes,
// and how it refuses what it cannot do.
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "options.h"
#include "win32.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int exitCode;
  std::string out, err;
};

// Runs the recorder in `cwd` and collects what it says.
Result Record(const std::vector<std::string>& args, const fs::path& cwd) {
  fs::path dir = fs::temp_directory_path() / ("record-test-" + std::to_string(getpid()));
  fs::create_directories(dir);
  fs::create_directories(cwd);
  std::string command = "cd '" + cwd.string() + "' && " TARVELMIN_RECORD;
  for (const std::string& a : args) command += " '" + a + "'";
  command += " >" + (dir / "stdout").string() + " 2>" + (dir / "stderr").string();
  int status = std::system(command.c_str());
  auto slurp = [](const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  Result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "stdout"), slurp(dir / "stderr")};
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

  std::ifstream trace(m_dir / "trace");
  std::string text((std::istreambuf_iterator<char>(trace)), std::istreambuf_iterator<char>());
  EXPECT_NE(std::string::npos, text.find("WM_CREATE")) << text;
  EXPECT_NE(std::string::npos, text.find("     100  WM_TIMER")) << text;
  EXPECT_NE(std::string::npos, text.find("WM_DESTROY")) << text;
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
                        Case{{"--out", (m_dir / "file/pics").string()}, "cannot make the folder"}}) {
    Result r = Record(c.args, m_dir);
    EXPECT_EQ(2, r.exitCode) << c.args[0];
    EXPECT_NE(std::string::npos, r.err.find(c.says)) << r.err;
    EXPECT_EQ(1, std::count(r.err.begin(), r.err.end(), '\n')) << r.err;
  }
  EXPECT_FALSE(fs::exists(m_dir / "out"));
}

TEST(RecorderOptions, ShowNamesAndSizesAreRead) {
  EXPECT_EQ(SW_SHOWMINIMIZED, ShowCommandNamed("minimized"));
  EXPECT_EQ(SW_SHOWMAXIMIZED, ShowCommandNamed("SW_SHOWMAXIMIZED"));
  EXPECT_EQ(SW_SHOWMINNOACTIVE, ShowCommandNamed("7"));
  EXPECT_EQ(-1, ShowCommandNamed("12"));
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
