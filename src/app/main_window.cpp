#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QWebEngineView>
#include <atomic>

#include "app/picture_box.h"
#include "app/qstring_text.h"
#include "app/widget_capture.h"

#ifndef QA_VERSION
#define QA_VERSION "0"
#endif

namespace qa {

namespace {

constexpr std::string_view kDefaultMessageTitle = "\xD0\xC5\xCF\xA2\xA3\xBA";  // 信息：
constexpr int kListColumnWidth = 130;
constexpr int kRecognitionFontPixels = 14;

template <typename W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QString::fromUtf8(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int left, int top,
                 int width, int height) {
  return Place(new QLabel(text, parent), name, left, top, width, height);
}

// The box icon for the icon bits of the flags (0x10 stop, 0x20 question,
// 0x30 exclamation, 0x40 information).
QMessageBox::Icon IconOf(int flags) {
  switch (flags & 0xF0) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

// The edit boxes hold lines ended by "\r\n"; the Qt text box keeps "\n".
QString ToBoxText(const Text& text) {
  return ToQString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
Text FromBoxText(QString text) {
  return ToText(text.replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("MainWindow"));
  setWindowTitle(QStringLiteral("quizassist " QA_VERSION " — 作者：quizassist 开发组"));
  setWindowFlag(Qt::WindowMaximizeButtonHint, false);

  auto* group =
      Place(new QGroupBox(QStringLiteral("识别参数配置"), this), "分组框1", 8, 16, 280, 80);
  AddLabel(group, "标签1", QStringLiteral("API Key："), 8, 16, 56, 24);
  apiKeyEdit_ = Place(new QLineEdit(group), "编辑框1", 78, 18, 90, 24);
  auto* link = AddLabel(group, "超级链接框1", QStringLiteral("<a href=\"#\">访问获取key地址</a>"),
                        169, 15, 104, 24);
  link->setTextFormat(Qt::RichText);
  link->setOpenExternalLinks(false);
  connect(link, &QLabel::linkActivated, this, &MainWindow::productPageRequested);
  AddLabel(group, "标签2", QStringLiteral("Secret Key："), 8, 48, 64, 24);
  secretKeyEdit_ = Place(new QLineEdit(group), "编辑框2", 78, 48, 90, 24);
  auto* tokenButton =
      Place(new QPushButton(QStringLiteral("取access_token"), group), "按钮5", 174, 48, 96, 24);
  connect(tokenButton, &QPushButton::clicked, this, &MainWindow::accessTokenRequested);

  searchButton_ =
      Place(new QPushButton(QStringLiteral("点击搜索或F9搜索"), this), "按钮1", 8, 103, 280, 32);
  connect(searchButton_, &QPushButton::clicked, this, &MainWindow::searchRequested);
  // The caption promises F9: it runs the search while the window is active.
  auto* f9 = new QShortcut(QKeySequence(Qt::Key_F9), this);
  f9->setObjectName(QStringLiteral("F9"));
  f9->setContext(Qt::WindowShortcut);
  connect(f9, &QShortcut::activated, searchButton_, &QPushButton::click);

  recognitionEdit_ = Place(new QPlainTextEdit(this), "识别编辑框", 8, 144, 280, 80);
  QFont recognitionFont = recognitionEdit_->font();
  recognitionFont.setPixelSize(kRecognitionFontPixels);
  recognitionFont.setWeight(QFont::Normal);
  recognitionEdit_->setFont(recognitionFont);
  // Appended lines cannot be undone, as the user typed none of them.
  recognitionEdit_->setUndoRedoEnabled(false);

  optionList_ = Place(new QTreeWidget(this), "超级列表框1", 8, 224, 280, 72);
  optionList_->setColumnCount(2);
  optionList_->setHeaderLabels({QStringLiteral("答案选项"), QStringLiteral("匹配结果")});
  optionList_->setRootIsDecorated(false);
  optionList_->setUniformRowHeights(true);
  optionList_->header()->setStretchLastSection(false);
  optionList_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  optionList_->setColumnWidth(0, kListColumnWidth);
  optionList_->setColumnWidth(1, kListColumnWidth);

  AddLabel(this, "标签3", QStringLiteral("本软件属于辅助程序，无法保证答案匹配结果的正确"), 8, 304,
           280, 24);
  AddLabel(this, "标签4", QStringLiteral("率，建议配合复活卡以及自身知识使用。"), 8, 328, 280, 24);
  AddLabel(this, "标签5", QStringLiteral("投屏后让题目落在右侧虚线框内，出题时点搜索"), 8, 355, 280,
           24);
  AddLabel(this, "标签6", QStringLiteral("建议反馈：quizassist@localhost  公众号：quizassist"), 8,
           383, 280, 24);

  screenBox_ = Place(new PictureBoxWidget(this), "图片框1", 290, 23, 248, 392);
  captureMarker_ = Place(new CaptureMarker(screenBox_), "透明标签1", 8, 98, 224, 166);
  // Lies right of the window's width: it only holds the crop between the
  // capture and the recognition.
  cropBox_ = Place(new PictureBoxWidget(this), "图片框2", 592, 16, 248, 208);
  browser_ = Place(new QWebEngineView(this), "超文本浏览框1", -17, 415, 729, 241);

  screenBoxRenderer_ =
      std::make_unique<WidgetRenderer>(screenBox_, std::vector<QWidget*>{captureMarker_});

  resize(kWidth, kHeight);
  move(kLeft, kTop);
  setFixedSize(kWidth, kHeight);
}

MainWindow::~MainWindow() = default;

// The outer rectangle is fixed; the frame a window manager adds comes out of
// the client area. Without a window manager there is no frame and the client
// area is the whole rectangle. Frame sizes are known only once the window
// manager has framed the window, so this runs again shortly after showing.
void MainWindow::FitFrameToOuterRectangle() {
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const int extraWidth = frame.width() - client.width();
  const int extraHeight = frame.height() - client.height();
  if (extraWidth < 0 || extraHeight < 0) return;
  setFixedSize(kWidth - extraWidth, kHeight - extraHeight);
  move(kLeft, kTop);
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  QTimer::singleShot(0, this, &MainWindow::FitFrameToOuterRectangle);
  QTimer::singleShot(300, this, &MainWindow::FitFrameToOuterRectangle);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    emit closing();
  }
  event->accept();
}

// From another thread the step is queued to the user-interface thread and the
// caller waits for it there. The hand-over flag orders the caller's work
// before the step and the step's work before the return with atomics that
// thread checkers see; Qt's own wait happens in code they do not watch.
template <typename Step>
auto MainWindow::OnUiThread(Step step) {
  using Result = decltype(step());
  if (QThread::currentThread() == thread()) return step();
  std::atomic<bool> handOver{true};
  handOver.store(true, std::memory_order_release);
  if constexpr (std::is_void_v<Result>) {
    QMetaObject::invokeMethod(
        this,
        [&] {
          handOver.load(std::memory_order_acquire);
          step();
          handOver.store(false, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    handOver.load(std::memory_order_acquire);
  } else {
    Result result{};
    QMetaObject::invokeMethod(
        this,
        [&] {
          handOver.load(std::memory_order_acquire);
          result = step();
          handOver.store(false, std::memory_order_release);
        },
        Qt::BlockingQueuedConnection);
    handOver.load(std::memory_order_acquire);
    return result;
  }
}

QLineEdit* MainWindow::EditOf(EditBox box) const {
  return box == EditBox::ApiKey ? apiKeyEdit_ : secretKeyEdit_;
}

PictureBoxWidget* MainWindow::PictureOf(PictureBox box) const {
  return box == PictureBox::Screen ? screenBox_ : cropBox_;
}

void MainWindow::DeleteAllRows() {
  OnUiThread([this] { optionList_->clear(); });
}

int MainWindow::InsertRow() {
  return OnUiThread([this] {
    auto* item = new QTreeWidgetItem(optionList_);
    return optionList_->indexOfTopLevelItem(item);
  });
}

void MainWindow::SetCellText(int row, int column, const Text& text) {
  OnUiThread([&] {
    if (QTreeWidgetItem* item = optionList_->topLevelItem(row); item && column >= 0) {
      item->setText(column, ToQString(text));
    }
  });
}

Text MainWindow::GetCellText(int row, int column) {
  return OnUiThread([&]() -> Text {
    QTreeWidgetItem* item = optionList_->topLevelItem(row);
    return item && column >= 0 ? ToText(item->text(column)) : Text();
  });
}

int MainWindow::RowCount() {
  return OnUiThread([this] { return optionList_->topLevelItemCount(); });
}

void MainWindow::AppendText(const Text& text) {
  OnUiThread([&] {
    QTextCursor cursor(recognitionEdit_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ToBoxText(text));
    recognitionEdit_->setTextCursor(cursor);
    recognitionEdit_->ensureCursorVisible();
  });
}

void MainWindow::SetText(EditBox box, const Text& text) {
  OnUiThread([&] {
    if (box == EditBox::Recognition) {
      recognitionEdit_->setPlainText(ToBoxText(text));
    } else {
      EditOf(box)->setText(ToQString(text));
    }
  });
}

Text MainWindow::GetText(EditBox box) {
  return OnUiThread([&]() -> Text {
    if (box == EditBox::Recognition) return FromBoxText(recognitionEdit_->toPlainText());
    return ToText(EditOf(box)->text());
  });
}

void MainWindow::SetPicture(PictureBox box, const Bytes& image) {
  OnUiThread([&] { PictureOf(box)->SetPicture(image); });
}

Bytes MainWindow::GetPicture(PictureBox box) {
  return OnUiThread([&] { return PictureOf(box)->Picture(); });
}

const WindowRenderer& MainWindow::ScreenBoxWindow() {
  return *screenBoxRenderer_;
}

CaptureRegion MainWindow::GetCaptureRegion() {
  return OnUiThread([this] {
    const QRect r = captureMarker_->geometry();
    return CaptureRegion{r.left(), r.top(), r.width(), r.height()};
  });
}

void MainWindow::SetAddress(const Text& url) {
  OnUiThread([&] {
    address_ = ToQString(url);
    browser_->setUrl(QUrl(address_));
  });
}

// A closed window shows no more messages: a command that was under way when
// the window closed ends quietly.
void MainWindow::ShowMessage(const Text& text, int flags, const Text& title) {
  OnUiThread([&] {
    if (closed_) return;
    QMessageBox box(IconOf(flags), ToQString(title.empty() ? Text(kDefaultMessageTitle) : title),
                    ToQString(text), QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
  });
}

void MainWindow::OpenInBrowser(const Text& url) {
  OnUiThread([&] { QDesktopServices::openUrl(QUrl(ToQString(url))); });
}

// Works on the calling thread's own events, like every event loop.
void MainWindow::PumpEvents(int ms) {
  QElapsedTimer timer;
  timer.start();
  do {
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
  } while (timer.elapsed() <= ms);
}

void MainWindow::Invoke(const std::function<void()>& step) {
  OnUiThread([&] { step(); });
}

}  // namespace qa
