// Pictures of the screen, written as PNG files and as an animated GIF with
// exact colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct GifFileType;

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row
};

// Writes `picture` to `path`: 8-bit indexed when it has at most 256 colours
// (exact, and small), else 24-bit RGB. False, with a reason, on failure.
bool WritePng(const std::string& path, const Picture& picture, std::string* error);

// An animated GIF written as the frames come, every frame shown for the same
// time; it loops forever. Each frame stores only the rectangle that changed,
// with a colour table of its own, so colours stay exact as long as no
// changed rectangle holds more than 256 of them.
class GifWriter {
 public:
  GifWriter() = default;
  ~GifWriter();
  GifWriter(const GifWriter&) = delete;
  GifWriter& operator=(const GifWriter&) = delete;

  bool Open(const std::string& path, int width, int height, int centisecondsPerFrame, std::string* error);
  // Every frame has the size given to Open.
  bool Add(const Picture& frame, std::string* error);
  // Writes what is pending and closes the file.
  bool Close(std::string* error);

 private:
  bool Flush(std::string* error);
  bool Fail(const std::string& what, std::string* error);

  GifFileType* m_gif = nullptr;
  int m_width = 0, m_height = 0, m_delay = 0;
  Picture m_last;  // the whole previous frame
  // The frame not yet written: its changed rectangle and how long it shows.
  bool m_pending = false;
  int m_left = 0, m_top = 0;
  Picture m_part;
  int m_pendingDelay = 0;
};
