#include "app/main_window.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>
#include <thread>

#include "app/input_blocker.h"
#include "app/qstring_text.h"
#include "capture/capture_window.h"
#include "qt_test_app.h"
#include "x_server_environment.h"

namespace qa {
namespace {

// The window tests wait for the window to become active; on a display shared
// with tests running in parallel another window could take the focus.
const auto* const kXServer = ::testing::AddGlobalTestEnvironment(new test::XServerEnvironment);

Bytes PngOf(const QImage& image) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return Bytes(data.begin(), data.end());
}

// The pixel at (x, y) of a 32-bit bottom-up BMP, as 0xRRGGBB.
unsigned BmpPixel(const Bytes& bmp, int x, int y) {
  const int width = bmp[18] | bmp[19] << 8;
  const int height = bmp[22] | bmp[23] << 8;
  const std::size_t at = 54 + (static_cast<std::size_t>(height - 1 - y) * width + x) * 4;
  return unsigned(bmp[at + 2]) << 16 | unsigned(bmp[at + 1]) << 8 | bmp[at];
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::TestApplication();
    window_ = std::make_unique<MainWindow>();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    QTest::qWait(20);
  }

  template <typename W>
  W* Find(const char* name) {
    return window_->findChild<W*>(QString::fromUtf8(name));
  }

  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, SitsAtItsFixedOuterRectangle) {
  EXPECT_EQ(window_->frameGeometry(), QRect(50, 50, 554, 687));
  EXPECT_TRUE(window_->windowTitle().startsWith(QStringLiteral("quizassist ")));
}

TEST_F(MainWindowTest, PlacesEveryControlWithItsText) {
  struct Control {
    const char* name;
    const char* parent;
    QRect rect;
    const char* text;  // nullptr: not checked
  };
  const Control controls[] = {
      {"分组框1", "MainWindow", {8, 16, 280, 80}, "识别参数配置"},
      {"标签1", "分组框1", {8, 16, 56, 24}, "API Key："},
      {"编辑框1", "分组框1", {78, 18, 90, 24}, ""},
      {"超级链接框1", "分组框1", {169, 15, 104, 24}, nullptr},
      {"标签2", "分组框1", {8, 48, 64, 24}, "Secret Key："},
      {"编辑框2", "分组框1", {78, 48, 90, 24}, ""},
      {"按钮5", "分组框1", {174, 48, 96, 24}, "取access_token"},
      {"按钮1", "MainWindow", {8, 103, 280, 32}, "点击搜索或F9搜索"},
      {"识别编辑框", "MainWindow", {8, 144, 280, 80}, ""},
      {"超级列表框1", "MainWindow", {8, 224, 280, 72}, nullptr},
      {"标签3", "MainWindow", {8, 304, 280, 24}, "本软件属于辅助程序，无法保证答案匹配结果的正确"},
      {"标签4", "MainWindow", {8, 328, 280, 24}, "率，建议配合复活卡以及自身知识使用。"},
      {"标签5", "MainWindow", {8, 355, 280, 24}, nullptr},
      {"标签6", "MainWindow", {8, 383, 280, 24}, nullptr},
      {"图片框1", "MainWindow", {290, 23, 248, 392}, nullptr},
      {"透明标签1", "图片框1", {8, 98, 224, 166}, nullptr},
      {"图片框2", "MainWindow", {592, 16, 248, 208}, nullptr},
      {"超文本浏览框1", "MainWindow", {-17, 415, 729, 241}, nullptr},
  };
  for (const Control& c : controls) {
    auto* widget = Find<QWidget>(c.name);
    ASSERT_NE(widget, nullptr) << c.name;
    EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromUtf8(c.parent)) << c.name;
    EXPECT_EQ(widget->geometry(), c.rect) << c.name;
    if (c.text == nullptr) continue;
    QString text;
    if (auto* l = qobject_cast<QLabel*>(widget)) text = l->text();
    if (auto* b = qobject_cast<QPushButton*>(widget)) text = b->text();
    if (auto* g = qobject_cast<QGroupBox*>(widget)) text = g->title();
    if (auto* e = qobject_cast<QLineEdit*>(widget)) text = e->text();
    if (auto* e = qobject_cast<QPlainTextEdit*>(widget)) text = e->toPlainText();
    EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.name;
  }
  EXPECT_TRUE(Find<QLabel>("超级链接框1")->text().contains(QStringLiteral("访问获取key地址")));
  // 图片框2 lies outside the window and is never seen.
  EXPECT_GE(Find<QWidget>("图片框2")->x(), window_->width());
  EXPECT_EQ(Find<QPlainTextEdit>("识别编辑框")->font().pixelSize(), 14);
  EXPECT_NE(Find<QWebEngineView>("超文本浏览框1"), nullptr);
}

TEST_F(MainWindowTest, FontsArePixelSizedSoNoScreenSettingMovesThem) {
  for (QWidget* widget : window_->findChildren<QWidget*>()) {
    // Only the controls themselves, not the parts Qt builds inside them.
    if (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_")) continue;
    const int expected = widget->objectName() == QStringLiteral("识别编辑框") ? 14 : 12;
    EXPECT_EQ(widget->font().pixelSize(), expected) << widget->objectName().toStdString();
  }
}

TEST_F(MainWindowTest, ListHasTwoColumnsOf130Pixels) {
  auto* list = Find<QTreeWidget>("超级列表框1");
  ASSERT_EQ(list->columnCount(), 2);
  EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("答案选项"));
  EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("匹配结果"));
  EXPECT_EQ(list->columnWidth(0), 130);
  EXPECT_EQ(list->columnWidth(1), 130);
}

TEST_F(MainWindowTest, ListOperations) {
  EXPECT_EQ(window_->RowCount(), 0);
  EXPECT_EQ(window_->InsertRow(), 0);
  EXPECT_EQ(window_->InsertRow(), 1);
  window_->SetCellText(1, 0, "\xB1\xB1\xBE\xA9");  // 北京
  window_->SetCellText(1, 1, "12");
  window_->SetCellText(5, 0, "nowhere");  // no such row: left alone
  EXPECT_EQ(window_->GetCellText(1, 0), "\xB1\xB1\xBE\xA9");
  EXPECT_EQ(window_->GetCellText(1, 1), "12");
  EXPECT_EQ(window_->GetCellText(0, 0), "");
  EXPECT_EQ(window_->GetCellText(5, 0), "");
  EXPECT_EQ(window_->RowCount(), 2);
  auto* list = Find<QTreeWidget>("超级列表框1");
  EXPECT_EQ(list->topLevelItem(1)->text(0), QStringLiteral("北京"));
  window_->DeleteAllRows();
  EXPECT_EQ(window_->RowCount(), 0);
}

TEST_F(MainWindowTest, AppendTextLandsAtTheEndWhereverTheCaretIs) {
  auto* box = Find<QPlainTextEdit>("识别编辑框");
  window_->SetText(EditBox::Recognition, "first\r\n");
  QTextCursor cursor = box->textCursor();
  cursor.setPosition(1);
  cursor.setPosition(3, QTextCursor::KeepAnchor);  // a selection in the middle
  box->setTextCursor(cursor);
  window_->AppendText("\xCE\xCA\xCC\xE2\r\n");  // 问题
  EXPECT_EQ(box->toPlainText(), QStringLiteral("first\n问题\n"));
  EXPECT_EQ(window_->GetText(EditBox::Recognition), "first\r\n\xCE\xCA\xCC\xE2\r\n");
  EXPECT_EQ(box->textCursor().position(), box->toPlainText().size());
}

TEST_F(MainWindowTest, KeyBoxesTakeAndGiveGbkText) {
  window_->SetText(EditBox::ApiKey, "\xD6\xD0 key");  // 中 key
  window_->SetText(EditBox::SecretKey, "s&k");
  EXPECT_EQ(Find<QLineEdit>("编辑框1")->text(), QStringLiteral("中 key"));
  EXPECT_EQ(window_->GetText(EditBox::ApiKey), "\xD6\xD0 key");
  EXPECT_EQ(window_->GetText(EditBox::SecretKey), "s&k");
}

TEST_F(MainWindowTest, OperationsFromAnotherThreadRunOnTheUserInterfaceThread) {
  window_->InsertRow();
  std::atomic<bool> done{false};
  Text readBack;
  int rowsSeen = 0;
  bool ranOnUiThread = false;
  std::thread worker([&] {
    window_->SetCellText(0, 1, "7");
    readBack = window_->GetCellText(0, 1);
    rowsSeen = window_->RowCount();
    window_->Invoke([&] { ranOnUiThread = QThread::currentThread() == window_->thread(); });
    done = true;
  });
  QElapsedTimer timer;
  timer.start();
  while (!done && timer.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  worker.join();
  EXPECT_EQ(readBack, "7");
  EXPECT_EQ(rowsSeen, 1);
  EXPECT_TRUE(ranOnUiThread);
}

TEST_F(MainWindowTest, PictureBoxesKeepTheirBytesAndTheCaptureLeavesTheMarkerOut) {
  QImage plain(248, 392, QImage::Format_RGB32);
  plain.fill(QColor(0x30, 0x60, 0x90));
  const Bytes png = PngOf(plain);
  window_->SetPicture(PictureBox::Screen, png);
  window_->SetPicture(PictureBox::Crop, {1, 2, 3});  // not an image: shown as none
  EXPECT_EQ(window_->GetPicture(PictureBox::Screen), png);
  EXPECT_EQ(window_->GetPicture(PictureBox::Crop), (Bytes{1, 2, 3}));

  const Bytes capture = CaptureWindow(window_->ScreenBoxWindow());
  ASSERT_GE(capture.size(), 54u + 248 * 392 * 4);
  // The marker's outline runs along the capture region's edges: not captured.
  const CaptureRegion region = window_->GetCaptureRegion();
  EXPECT_EQ(region.left, 8);
  EXPECT_EQ(region.top, 98);
  EXPECT_EQ(region.width, 224);
  EXPECT_EQ(region.height, 166);
  for (int x = region.left; x < region.left + region.width; ++x) {
    ASSERT_EQ(BmpPixel(capture, x, region.top), 0x306090u) << x;
  }
  // On the screen the outline shows.
  const QImage onScreen = Find<QWidget>("图片框1")->grab().toImage();
  bool outlined = false;
  for (int x = region.left; x < region.left + region.width; ++x) {
    outlined |= (onScreen.pixel(x, region.top) & 0xFFFFFF) != 0x306090u;
  }
  EXPECT_TRUE(outlined);
}

TEST_F(MainWindowTest, ALargePictureIsScaledToFitAndCapturedAsShown) {
  // Twice the box's size: top half red, bottom half blue.
  QImage big(496, 784, QImage::Format_RGB32);
  big.fill(Qt::red);
  QPainter(&big).fillRect(0, 392, 496, 392, Qt::blue);
  window_->SetPicture(PictureBox::Screen, PngOf(big));
  const Bytes capture = CaptureWindow(window_->ScreenBoxWindow());
  EXPECT_EQ(BmpPixel(capture, 10, 10), 0xFF0000u);
  EXPECT_EQ(BmpPixel(capture, 10, 380), 0x0000FFu);
  EXPECT_EQ(BmpPixel(capture, 240, 190), 0xFF0000u);
}

TEST_F(MainWindowTest, MessagesAreModalWithOneOkButtonAndTheDefaultTitle) {
  struct Case {
    Text title;
    int flags;
    QString expectedTitle;
    QMessageBox::Icon expectedIcon;
  };
  const Case cases[] = {
      {"", 0, QStringLiteral("信息："), QMessageBox::NoIcon},
      {"", 48, QStringLiteral("信息："), QMessageBox::Warning},
      {"\xB4\xED\xCE\xF3", 0, QStringLiteral("错误"), QMessageBox::NoIcon},  // 错误
  };
  for (const Case& c : cases) {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    Qt::WindowModality modality = Qt::NonModal;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      buttons = box->buttons().size();
      modality = box->windowModality();
      box->button(QMessageBox::Ok)->click();
    });
    answer.start();
    window_->ShowMessage("\xC4\xDA\xC8\xDD", c.flags, c.title);  // 内容
    EXPECT_EQ(title, c.expectedTitle);
    EXPECT_EQ(text, QStringLiteral("内容"));
    EXPECT_EQ(icon, c.expectedIcon);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(modality, Qt::ApplicationModal);
  }
}

TEST_F(MainWindowTest, ButtonsF9AndTheLinkReportTheirEvents) {
  QSignalSpy search(window_.get(), &MainWindow::searchRequested);
  QSignalSpy token(window_.get(), &MainWindow::accessTokenRequested);
  QSignalSpy link(window_.get(), &MainWindow::productPageRequested);
  QTest::mouseClick(Find<QPushButton>("按钮1"), Qt::LeftButton);
  QTest::mouseClick(Find<QPushButton>("按钮5"), Qt::LeftButton);
  EXPECT_EQ(search.count(), 1);
  EXPECT_EQ(token.count(), 1);

  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  Find<QLineEdit>("编辑框1")->setFocus();
  QTest::keyClick(window_.get(), Qt::Key_F9);
  EXPECT_EQ(search.count(), 2);

  emit Find<QLabel>("超级链接框1")->linkActivated(QStringLiteral("#"));
  EXPECT_EQ(link.count(), 1);
}

// Once closed, the window reports the close once and shows no more messages
// (a command that was under way when it closed ends quietly).
TEST_F(MainWindowTest, ClosingReportsOnceAndSilencesMessages) {
  QSignalSpy closing(window_.get(), &MainWindow::closing);
  window_->close();
  window_->close();
  EXPECT_EQ(closing.count(), 1);

  int shown = 0;
  QTimer answer;
  answer.setInterval(5);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      ++shown;
      box->button(QMessageBox::Ok)->click();
    }
  });
  answer.start();
  window_->ShowMessage("\xC4\xDA\xC8\xDD", 0, {});
  EXPECT_EQ(shown, 0);
}

// While a command waits for its request the window drops clicks and keys but
// keeps running everything else, a close included.
TEST_F(MainWindowTest, BlockedInputDropsClicksAndKeysButNotTimersOrTheClose) {
  QSignalSpy search(window_.get(), &MainWindow::searchRequested);
  QSignalSpy closing(window_.get(), &MainWindow::closing);
  auto* keyBox = Find<QLineEdit>("编辑框1");
  keyBox->setText(QStringLiteral("ak"));
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  keyBox->setFocus();
  {
    const InputBlocker blocked;
    QTest::mouseClick(Find<QPushButton>("按钮1"), Qt::LeftButton);
    QTest::keyClick(window_.get(), Qt::Key_F9);
    QTest::keyClicks(keyBox, QStringLiteral("xyz"));
    bool fired = false;
    QTimer::singleShot(1, [&] { fired = true; });
    for (int i = 0; i < 500 && !fired; ++i) QTest::qWait(10);
    EXPECT_TRUE(fired);
    EXPECT_EQ(search.count(), 0);
    EXPECT_EQ(keyBox->text(), QStringLiteral("ak"));
  }
  // Input counts again once the blocker is gone.
  QTest::mouseClick(Find<QPushButton>("按钮1"), Qt::LeftButton);
  EXPECT_EQ(search.count(), 1);
  {
    const InputBlocker blocked;
    window_->close();
  }
  EXPECT_EQ(closing.count(), 1);
  EXPECT_FALSE(window_->isVisible());
}

}  // namespace
}  // namespace qa
