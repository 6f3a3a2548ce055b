// tarvelmin-bench: what a tick of the program costs, and what presenting a
// frame into a larger client area costs, each beside the least it could cost:
//   Floor/640x480     clearing a 640 x 480 frame and copying it once
//   Tick/640x480      the real program: RenderFrame and Present
//   TickTraced/..     the same while the trace is written as text (w32/trace.h)
//   Present/WxH       the 640 x 480 back surface stretched into a W x H client area
//   Fill/WxH          filling that client area: the least a stretch into it costs
//   PixmanStretch/..  pixman's own nearest filter doing the same stretch
// `tarvelmin-bench --soak N` runs the program for N ticks instead (soak.cpp).
//
// TARVELMIN_BENCH_VECTORS=256 (or 0) keeps the stretch to AVX2 (or to pixel
// by pixel) on a CPU that has AVX-512, to measure here what a CPU without it
// runs: TARVELMIN_BENCH_VECTORS=256 bench/run build/linux 15.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "headless.h"
#include "soak.h"
#include "tarvelmin.h"
#include "w32/ddraw/blit.h"
#include "w32/host.h"
#include "w32/trace.h"

namespace {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;

uint32_t PatternPixel(int x, int y) {
  return uint32_t((x * 7 + y * 13) & 0xFF) << 16 | uint32_t((x ^ y) & 0xFF) << 8 | uint32_t((x + y) & 0xFF);
}

void Bytes(benchmark::State& state, int64_t width, int64_t height) {
  state.SetBytesProcessed(int64_t(state.iterations()) * width * height * 4);
}

void Floor(benchmark::State& state) {
  std::vector<uint32_t> frame(size_t(kFrameWidth) * kFrameHeight), shown(frame.size());
  const size_t bytes = frame.size() * sizeof(uint32_t);
  for (auto _ : state) {
    std::memset(frame.data(), 0, bytes);
    benchmark::DoNotOptimize(frame.data());
    std::memcpy(shown.data(), frame.data(), bytes);
    benchmark::DoNotOptimize(shown.data());
    benchmark::ClobberMemory();
  }
  Bytes(state, kFrameWidth, kFrameHeight);
}

// Writes each event of the trace as a line of text, as the recorder does.
class Lines : public w32::trace::Listener {
 public:
  void Returned(const w32::trace::Event& e) override {
    m_line = w32::trace::Line(e);
    benchmark::DoNotOptimize(m_line.data());
  }

 private:
  std::string m_line;
};

// The program as it runs: WinMain sets it up, and once the window exists a
// scripted step runs the measured ticks inside the message loop, then
// closes the window. Traced: while a listener writes every call as a line.
void Tick(benchmark::State& state, bool traced) {
  headless::Reset(1024, 768);
  g_angle = 50;
  g_active = 0;
  bool ran = false;
  Lines lines;
  headless::At(0, [&] {
    HWND hwnd = FindWindowA("tarvelmin", NULL);
    if (!hwnd || !g_app || !g_active) return;
    ran = true;
    if (traced) w32::trace::AddListener(&lines);
    for (auto _ : state) {
      RenderFrame(hwnd);
      if (g_app->Present() != DD_OK) state.SkipWithError("Present failed");
    }
    w32::trace::RemoveListener(&lines);
    headless::CloseAt(headless::Now(), hwnd);
  });
  WinMain(GetModuleHandleA(NULL), NULL, const_cast<char*>(""), SW_SHOWDEFAULT);
  if (!ran) state.SkipWithError("the program never ran");
  Bytes(state, kFrameWidth, kFrameHeight);
}

// A fresh headless screen with room for the frame and caption round a client
// area of this size; made before the display registers its window class.
HINSTANCE FreshScreen(int clientWidth, int clientHeight) {
  headless::Reset(clientWidth + 16, clientHeight + 32);
  return GetModuleHandleA(NULL);
}

LRESULT CALLBACK DisplayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The framework's display with a client area of the given size and a second
// back surface, so that consecutive presents differ in every pixel: the
// stretch is measured in full, never an unchanged frame.
class Display : public DirectDrawPrimer {
 public:
  Display(int width, int height) : DirectDrawPrimer(FreshScreen(width, height), "tarvelmin-bench", DisplayProc) {
    if (Create("bench", SW_SHOWNORMAL, GetModuleHandleA(NULL), kFrameWidth, kFrameHeight) != 1) return;
    w32::wm::ResizeClient(m_hWnd, width, height);
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    RECT c{};
    GetClientRect(m_hWnd, &c);
    POINT o{0, 0};
    ClientToScreen(m_hWnd, &o);
    m_client = RECT{o.x, o.y, o.x + c.right, o.y + c.bottom};
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    d.dwWidth = kFrameWidth;
    d.dwHeight = kFrameHeight;
    if (m_pDD->CreateSurface(&d, &m_other, NULL) != DD_OK) return;
    m_ok = c.right == width && c.bottom == height && Paint(m_pBack, 0) && Paint(m_other, 0x00FFFFFF);
  }
  ~Display() {
    ReleaseObjects();  // takes the second back surface with the rest
    if (m_hWnd) DestroyWindow(m_hWnd);
  }
  bool Ok() const { return m_ok; }
  void SwapBack() { std::swap(m_pBack, m_other); }
  HRESULT Fill(uint32_t pixel) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = pixel;
    return m_pPrimary->Blt(&m_client, NULL, NULL, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
  }

 private:
  static bool Paint(IDirectDrawSurface* s, uint32_t flip) {
    DDSURFACEDESC d{};
    d.dwSize = sizeof(d);
    if (s->Lock(NULL, &d, DDLOCK_WAIT, NULL) != DD_OK) return false;
    for (int y = 0; y < kFrameHeight; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch);
      for (int x = 0; x < kFrameWidth; ++x) row[x] = PatternPixel(x, y) ^ flip;
    }
    return s->Unlock(NULL) == DD_OK;
  }

  IDirectDrawSurface* m_other = nullptr;
  RECT m_client{};
  bool m_ok = false;
};

void Present(benchmark::State& state, int width, int height) {
  Display display(width, height);
  if (!display.Ok()) return state.SkipWithError("set-up failed");
  for (auto _ : state) {
    display.SwapBack();
    if (display.Present() != DD_OK) state.SkipWithError("Present failed");
  }
  Bytes(state, width, height);
}

void Fill(benchmark::State& state, int width, int height) {
  Display display(width, height);
  if (!display.Ok()) return state.SkipWithError("set-up failed");
  uint32_t pixel = 0x00336699;
  for (auto _ : state) {
    pixel ^= 0x00FFFFFF;
    if (display.Fill(pixel) != DD_OK) state.SkipWithError("fill failed");
  }
  Bytes(state, width, height);
}

void PixmanStretch(benchmark::State& state, int dw, int dh) {
  std::vector<uint32_t> pixels(size_t(kFrameWidth) * kFrameHeight);
  for (int y = 0; y < kFrameHeight; ++y)
    for (int x = 0; x < kFrameWidth; ++x) pixels[size_t(y) * kFrameWidth + x] = PatternPixel(x, y);
  pixman_image_t* src =
      pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameWidth, kFrameHeight, pixels.data(), kFrameWidth * 4);
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, dw, dh, nullptr, 0);
  pixman_transform_t scale;
  pixman_transform_init_scale(&scale, pixman_double_to_fixed(double(kFrameWidth) / dw),
                              pixman_double_to_fixed(double(kFrameHeight) / dh));
  pixman_image_set_transform(src, &scale);
  pixman_image_set_filter(src, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, dw, dh);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(dst);
  pixman_image_unref(src);
  Bytes(state, dw, dh);
}

// Named as bench/run reads them, Kind/WxH. The sizes: 4:3 at twice the
// frame, a common laptop panel, full HD and 4K.
void Register() {
  const auto us = benchmark::kMicrosecond;
  benchmark::RegisterBenchmark("Floor/640x480", Floor)->Unit(us);
  benchmark::RegisterBenchmark("Tick/640x480", Tick, false)->Unit(us);
  benchmark::RegisterBenchmark("TickTraced/640x480", Tick, true)->Unit(us);
  for (auto [w, h] : {std::pair{1280, 960}, {1366, 768}, {1920, 1080}, {3840, 2160}}) {
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    benchmark::RegisterBenchmark(("Present/" + size).c_str(), Present, w, h)->Unit(us);
    benchmark::RegisterBenchmark(("Fill/" + size).c_str(), Fill, w, h)->Unit(us);
  }
  benchmark::RegisterBenchmark("PixmanStretch/3840x2160", PixmanStretch, 3840, 2160)->Unit(us);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--soak") == 0) return RunSoak(argc, argv);
  if (const char* bits = std::getenv("TARVELMIN_BENCH_VECTORS")) w32::LimitBlitVectors(std::atoi(bits));
  benchmark::AddCustomContext("stretch vectors", std::to_string(w32::BlitVectorBits()) + " bits");
  Register();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
