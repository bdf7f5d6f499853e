// The local part of one search click on a 400 x 800 mirror window: find the
// window, copy it from the screen, show it in the 248 x 392 picture box,
// render the picture box without its marker, crop the question area, encode
// it as JPEG, Base64 and percent-encoding. Each step alone, then the road as
// a whole.
//
// Needs an X server: run it under `xvfb-run -a -s "-screen 0 1280x1024x24"`
// (without DISPLAY it starts an Xvfb of its own).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/widget_capture.h"
#include "capture/crop_bitmap.h"
#include "capture/mirror_window.h"
#include "capture/reencode_image.h"
#include "encoding/base64.h"
#include "encoding/url_encode.h"
#include "fake_mirror_process.h"
#include "private_x_server.h"

namespace {

// What the phone shows: a quiz card, white with dark text and a few coloured
// buttons, so that the JPEG has the size of a real one.
QImage PhoneScreen() {
  QImage image(400, 800, QImage::Format_RGB32);
  image.fill(QColor(30, 30, 60));
  QPainter painter(&image);
  painter.fillRect(QRect(8, 90, 384, 420), Qt::white);
  QFont font;
  font.setPixelSize(18);
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.drawText(QRect(20, 105, 360, 60), Qt::TextWordWrap,
                   "7. Which of these rivers is the longest one in the world?");
  const char* options[] = {"Nile", "Amazon", "Yangtze"};
  for (int i = 0; i < 3; ++i) {
    const QRect button(30, 180 + i * 45, 180, 36);
    painter.fillRect(button, QColor(230, 236, 250));
    painter.drawText(button, Qt::AlignCenter, options[i]);
  }
  return image;
}

struct Scene {
  std::unique_ptr<qa::test::FakeMirrorProcess> mirror;
  std::unique_ptr<QWidget> window;
  QLabel* picture = nullptr;
  QLabel* marker = nullptr;
};

Scene* scene = nullptr;

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void ShowPicture(const qa::Bytes& bmp) {
  QPixmap pixmap;
  pixmap.loadFromData(bmp.data(), static_cast<uint>(bmp.size()), "BMP");
  scene->picture->setPixmap(pixmap);
}

qa::Bytes RenderAndCrop() {
  return qa::CropBitmap(qa::CaptureWidget(scene->picture, {scene->marker}), 8, 98, 224, 166);
}

void BM_FindMirrorWindow(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(qa::FindMirrorWindow());
}
BENCHMARK(BM_FindMirrorWindow)->Unit(benchmark::kMillisecond);

void BM_ScreenshotWindow(benchmark::State& state) {
  const qa::WindowHandle handle = qa::FindMirrorWindow();
  for (auto _ : state) benchmark::DoNotOptimize(qa::ScreenshotWindow(handle));
}
BENCHMARK(BM_ScreenshotWindow)->Unit(benchmark::kMillisecond);

void BM_ShowInPictureBox(benchmark::State& state) {
  const qa::Bytes shot = qa::ScreenshotWindow(qa::FindMirrorWindow());
  for (auto _ : state) {
    ShowPicture(shot);
    Settle();
  }
}
BENCHMARK(BM_ShowInPictureBox)->Unit(benchmark::kMillisecond);

void BM_CaptureWidget(benchmark::State& state) {
  ShowPicture(qa::ScreenshotWindow(qa::FindMirrorWindow()));
  Settle();
  for (auto _ : state) benchmark::DoNotOptimize(qa::CaptureWidget(scene->picture, {scene->marker}));
}
BENCHMARK(BM_CaptureWidget)->Unit(benchmark::kMillisecond);

void BM_CropBitmap(benchmark::State& state) {
  ShowPicture(qa::ScreenshotWindow(qa::FindMirrorWindow()));
  const qa::Bytes capture = qa::CaptureWidget(scene->picture, {scene->marker});
  for (auto _ : state) benchmark::DoNotOptimize(qa::CropBitmap(capture, 8, 98, 224, 166));
}
BENCHMARK(BM_CropBitmap)->Unit(benchmark::kMillisecond);

void BM_ReencodeJpeg(benchmark::State& state) {
  ShowPicture(qa::ScreenshotWindow(qa::FindMirrorWindow()));
  const qa::Bytes crop = RenderAndCrop();
  qa::Bytes jpeg;
  for (auto _ : state) qa::ReencodeImage(crop, qa::kImageJpeg, {}, &jpeg);
  state.counters["jpeg_bytes"] = static_cast<double>(jpeg.size());
}
BENCHMARK(BM_ReencodeJpeg)->Unit(benchmark::kMillisecond);

void BM_Base64Encode(benchmark::State& state) {
  ShowPicture(qa::ScreenshotWindow(qa::FindMirrorWindow()));
  qa::Bytes jpeg;
  qa::ReencodeImage(RenderAndCrop(), qa::kImageJpeg, {}, &jpeg);
  for (auto _ : state) benchmark::DoNotOptimize(qa::Base64Encode(jpeg));
}
BENCHMARK(BM_Base64Encode)->Unit(benchmark::kMillisecond);

void BM_UrlEncode(benchmark::State& state) {
  ShowPicture(qa::ScreenshotWindow(qa::FindMirrorWindow()));
  qa::Bytes jpeg;
  qa::ReencodeImage(RenderAndCrop(), qa::kImageJpeg, {}, &jpeg);
  const qa::Text base64 = qa::Base64Encode(jpeg);
  for (auto _ : state) benchmark::DoNotOptimize(qa::UrlEncode(base64));
}
BENCHMARK(BM_UrlEncode)->Unit(benchmark::kMillisecond);

// The whole road as the search command takes it.
void BM_ClickPathTotal(benchmark::State& state) {
  std::size_t bodySize = 0;
  for (auto _ : state) {
    ShowPicture(qa::ScreenshotWindow(qa::FindMirrorWindow()));
    Settle();
    qa::Bytes image = RenderAndCrop();
    qa::ReencodeImage(image, qa::kImageJpeg, {}, &image);
    const qa::Text body = "image=" + qa::UrlEncode(qa::Base64Encode(image));
    bodySize = body.size();
    benchmark::DoNotOptimize(body);
  }
  state.counters["body_bytes"] = static_cast<double>(bodySize);
}
BENCHMARK(BM_ClickPathTotal)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::unique_ptr<qa::test::PrivateXServer> xserver;
  if (std::getenv("DISPLAY") == nullptr) {
    xserver = std::make_unique<qa::test::PrivateXServer>();
    if (!xserver->Running()) {
      std::fprintf(stderr, "capture_bench: no DISPLAY and Xvfb did not start\n");
      return 1;
    }
  }
  qputenv("QT_QPA_PLATFORM", "xcb");
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);

  const std::filesystem::path image = std::filesystem::temp_directory_path() /
                                      ("capture_bench_" + std::to_string(getpid()) + ".png");
  PhoneScreen().save(QString::fromStdString(image.string()));
  qa::test::FakeMirrorProcess::Options options;
  options.image = image.string();
  options.x = 600;
  options.y = 50;
  Scene s;
  s.mirror = std::make_unique<qa::test::FakeMirrorProcess>(options);
  std::filesystem::remove(image);
  if (!s.mirror->Ready()) {
    std::fprintf(stderr, "capture_bench: the fake mirror did not start\n");
    return 1;
  }
  s.window = std::make_unique<QWidget>();
  s.window->setGeometry(0, 0, 560, 480);
  s.picture = new QLabel(s.window.get());
  s.picture->setGeometry(290, 23, 248, 392);
  s.picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  s.marker = new QLabel(s.picture);
  s.marker->setGeometry(8, 98, 224, 166);
  s.marker->setStyleSheet("border: 1px solid red; background: transparent;");
  s.window->show();
  Settle();
  scene = &s;

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  scene = nullptr;
  return 0;
}
