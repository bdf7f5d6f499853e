// quizassist-scenario: runs the real main window of quizassist against the
// services named on the command line, performs a list of steps as a player
// would, and writes what the window then shows as JSON.
//
//   quizassist-scenario [--ocr-base URL] [--search-base URL] [--product-page URL]
//                       [--ca-file PEM] [--key-file PATH] [--api-key K] [--secret-key S]
//                       [--steps S1,S2,...] [--timeout-ms N] [--out FILE]
//                       [--screenshot FILE] [--interactive] [--phase-timeout-ms N]
//
// --phase-timeout-ms shortens the network time-outs of every request (each
// phase: connecting, then any silence), so that runs against stalled servers
// end soon.
//
// Steps:
//   token    click 按钮5 (access token)
//   search   click 按钮1
//   f9       press F9 in the active window
//   wait     wait until every list row shows a number (at most --timeout-ms),
//            then note the rows, 识别编辑框 and the browser's address
//   sync     print "sync" on stdout and wait for a line on stdin (lets a test
//            change the world between steps)
//   link     click 超级链接框1
//   shot     save a picture of the window to --screenshot
//   sleep=N  let the window run for N milliseconds
//   close    close the window (the keys are saved)
//   close-in=N  close the window N milliseconds from now, whatever the window
//            is doing then (e.g. "close-in=300,search" closes it during the
//            search); the steps end with the step under way at the close
//   settle   wait until every scoring thread has ended (at most --timeout-ms)
//   rss      note the resident memory and the heap in use of the process
//   STEP*N   the step N times in a row, e.g. search*200
//
// During the steps every message box is answered with OK and recorded with
// its title and text. Without --interactive, URLs the program opens in the
// web browser are recorded, not opened, and the window is closed after the
// last step; with it the window then stays, for the user, until closed.
//
// The keys are saved at close to --key-file, or else to a key file that lives
// only as long as the run.
//
// The JSON: the texts of 编辑框1, 编辑框2 and 识别编辑框, the rows (both
// columns), the browser's address, the message boxes in order, the opened
// URLs, the sizes of the pictures in 图片框1 and 图片框2, the window's outer
// rectangle, each list cell change (with the number of the search it happened
// in and of the search that inserted its row), per search the milliseconds
// from the start of the run to its click, and from the click until the click
// returned, until its rows were shown and until every row showed its count
// (-1: never), the search each message box came in and when, when closing the
// window was due (close-in) and began (milliseconds from the start) and how
// long it took, the most scoring workers alive and holding a slot at any
// moment, the resident memory and the heap in use noted by "rss" steps (KiB),
// and the key file as it stands after the run.
#include <malloc.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineCertificateError>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
// From the sanitizer runtime, whose allocator replaces malloc's.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "app/app_shell.h"
#include "app/qstring_text.h"
#include "app/scoring_dispatcher.h"
#include "net/http_transport.h"

namespace {

struct Options {
  qa::Endpoints endpoints;
  std::string keyFile;
  QString apiKey, secretKey;
  bool setApiKey = false, setSecretKey = false;
  QStringList steps;
  int timeoutMs = 20000;
  QString out;
  QString screenshot;
  bool interactive = false;
  int phaseTimeoutMs = 0;
};

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr, "quizassist-scenario: %s\n", why);
  std::exit(2);
}

Options ParseOptions(const QStringList& args) {
  Options o;
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&]() -> QString {
      if (i + 1 >= args.size()) Usage("an option lacks its value");
      return args[++i];
    };
    if (a == "--ocr-base")
      o.endpoints.ocrBase = value().toStdString();
    else if (a == "--search-base")
      o.endpoints.searchBase = value().toStdString();
    else if (a == "--product-page")
      o.endpoints.productPage = value().toStdString();
    else if (a == "--ca-file")
      o.endpoints.caFile = value().toStdString();
    else if (a == "--key-file")
      o.keyFile = value().toStdString();
    else if (a == "--api-key") {
      o.apiKey = value();
      o.setApiKey = true;
    } else if (a == "--secret-key") {
      o.secretKey = value();
      o.setSecretKey = true;
    } else if (a == "--steps")
      o.steps = value().split(',', Qt::SkipEmptyParts);
    else if (a == "--timeout-ms")
      o.timeoutMs = value().toInt();
    else if (a == "--out")
      o.out = value();
    else if (a == "--screenshot")
      o.screenshot = value();
    else if (a == "--interactive")
      o.interactive = true;
    else if (a == "--phase-timeout-ms")
      o.phaseTimeoutMs = value().toInt();
    else
      Usage(("unknown argument " + a.toStdString()).c_str());
  }
  return o;
}

// The heap memory this process has in use, in KiB (the sanitizer's own
// allocator counts it under a sanitizer).
qint64 HeapInUseKib() {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  return static_cast<qint64>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
  return static_cast<qint64>(mallinfo2().uordblks / 1024);
#endif
}

// The resident memory of this process in KiB.
qint64 ResidentKib() {
  std::ifstream statm("/proc/self/statm");
  long long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Keeps the largest value each of two counts reaches, read every millisecond
// on a thread of its own (the user-interface thread is busy during searches).
class PeakSampler {
 public:
  PeakSampler(std::function<int()> first, std::function<int()> second)
      : thread_([this, first, second] {
          while (!stop_) {
            peakFirst_ = std::max(peakFirst_.load(), first());
            peakSecond_ = std::max(peakSecond_.load(), second());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        }) {}
  ~PeakSampler() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int PeakFirst() const { return peakFirst_; }
  int PeakSecond() const { return peakSecond_; }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<int> peakFirst_{0};
  std::atomic<int> peakSecond_{0};
  std::thread thread_;
};

bool IsNumber(const QString& text) {
  bool ok = false;
  text.toInt(&ok);
  return ok && !text.isEmpty();
}

// Records URLs the program asks the desktop to open.
class BrowserRecorder : public QObject {
  Q_OBJECT
 public:
  QJsonArray opened;
 public slots:
  void open(const QUrl& url) { opened.append(url.toString()); }
};

class Scenario {
 public:
  Scenario(const Options& options, qa::AppShell& shell)
      : options_(options),
        shell_(shell),
        window_(shell.Window()),
        workers_([&shell] { return shell.Scoring().LiveWorkers(); },
                 [&shell] { return shell.Scoring().RunningWorkerCount(); }) {
    clock_.start();
    list_ = window_.findChild<QTreeWidget*>(QStringLiteral("超级列表框1"));
    QAbstractItemModel* model = list_->model();
    QObject::connect(
        model, &QAbstractItemModel::rowsInserted,
        [this](const QModelIndex&, int first, int last) { OnRowsInserted(first, last); });
    QObject::connect(model, &QAbstractItemModel::rowsRemoved,
                     [this](const QModelIndex&, int first, int last) {
                       rowSearch_.erase(rowSearch_.begin() + first, rowSearch_.begin() + last + 1);
                     });
    QObject::connect(model, &QAbstractItemModel::modelReset, [this] { rowSearch_.clear(); });
    QObject::connect(
        model, &QAbstractItemModel::dataChanged,
        [this](const QModelIndex& from, const QModelIndex& to) { OnDataChanged(from, to); });
    answerTimer_.setInterval(10);
    QObject::connect(&answerTimer_, &QTimer::timeout, [this] { AnswerMessageBox(); });
    answerTimer_.start();
    // The stand-in search pages carry a certificate of the test CA.
    auto* view = window_.findChild<QWebEngineView*>(QStringLiteral("超文本浏览框1"));
    QObject::connect(view->page(), &QWebEnginePage::certificateError,
                     [](const QWebEngineCertificateError& error) {
                       auto copy = error;
                       if (copy.url().host() == QStringLiteral("127.0.0.1"))
                         copy.acceptCertificate();
                     });
  }

  // From now on the user answers the message boxes.
  void StopAnswering() { answerTimer_.stop(); }

  bool Run() {
    for (const QString& step : options_.steps) {
      const int star = step.lastIndexOf('*');
      const int times = star > 0 ? step.mid(star + 1).toInt() : 1;
      for (int i = 0; i < times; ++i) {
        if (!RunStep(star > 0 ? step.left(star) : step)) return false;
        if (closeAtMs_ >= 0) return true;  // closed during the step
      }
    }
    return true;
  }

  QJsonObject State(const BrowserRecorder& browser) {
    QJsonObject state;
    state["apiKey"] = qa::ToQString(window_.GetText(qa::EditBox::ApiKey));
    state["secretKey"] = qa::ToQString(window_.GetText(qa::EditBox::SecretKey));
    state["recognition"] = qa::ToQString(window_.GetText(qa::EditBox::Recognition));
    state["rows"] = Rows();
    state["address"] = window_.Address();
    state["messages"] = messages_;
    state["opened"] = browser.opened;
    state["screenPicture"] = PictureSize(qa::PictureBox::Screen);
    state["cropPicture"] = PictureSize(qa::PictureBox::Crop);
    const QRect frame = window_.frameGeometry();
    state["frame"] = QJsonObject{
        {"x", frame.x()}, {"y", frame.y()}, {"width", frame.width()}, {"height", frame.height()}};
    state["cellLog"] = cellLog_;
    state["waits"] = waits_;
    QJsonArray searches;
    for (const Search& s : searches_) {
      searches.append(QJsonObject{{"clickMs", s.clickMs},
                                  {"returnMs", s.returnMs},
                                  {"rowsMs", s.rowsMs},
                                  {"countsMs", s.countsMs}});
    }
    state["searches"] = searches;
    state["scoringStopped"] = shell_.ScoringStopped();
    state["closeMs"] = closeMs_;
    state["closeAtMs"] = closeAtMs_;
    state["closeDueMs"] = closeDueMs_;
    workers_.Stop();
    state["maxLiveWorkers"] = workers_.PeakFirst();
    state["maxRunningWorkers"] = workers_.PeakSecond();
    state["rss"] = rss_;
    state["heap"] = heap_;
    return state;
  }

 private:
  struct Search {
    QElapsedTimer clock;
    qint64 clickMs = 0;
    qint64 returnMs = -1;
    qint64 rowsMs = -1;
    qint64 countsMs = -1;
  };

  bool RunStep(const QString& step) {
    if (step == "token") {
      Click("按钮5");
    } else if (step == "search") {
      StartSearch();
      Click("按钮1");
      searches_.back().returnMs = searches_.back().clock.elapsed();
    } else if (step == "f9") {
      window_.activateWindow();
      if (!QTest::qWaitForWindowActive(&window_)) return Fail("the window did not become active");
      StartSearch();
      QTest::keyClick(&window_, Qt::Key_F9);
    } else if (step == "wait") {
      Wait();
    } else if (step == "sync") {
      std::cout << "sync" << std::endl;
      std::string line;
      std::getline(std::cin, line);
    } else if (step == "link") {
      auto* link = window_.findChild<QLabel*>(QStringLiteral("超级链接框1"));
      emit link->linkActivated(QStringLiteral("#"));
    } else if (step == "shot") {
      return Screenshot();
    } else if (step.startsWith("sleep=")) {
      QTest::qWait(step.mid(6).toInt());
    } else if (step == "close") {
      Close();
    } else if (step.startsWith("close-in=")) {
      const int delayMs = step.mid(9).toInt();
      closeDueMs_ = clock_.elapsed() + delayMs;
      QTimer::singleShot(delayMs, [this] { Close(); });
    } else if (step == "settle") {
      QElapsedTimer clock;
      clock.start();
      while (shell_.Scoring().LiveThreads() > 0 && clock.elapsed() < options_.timeoutMs) {
        QTest::qWait(5);
      }
    } else if (step == "rss") {
      rss_.append(ResidentKib());
      heap_.append(HeapInUseKib());
    } else {
      return Fail("unknown step " + step);
    }
    return true;
  }

  bool Fail(const QString& why) {
    std::fprintf(stderr, "quizassist-scenario: %s\n", qPrintable(why));
    return false;
  }

  void Click(const char* name) {
    auto* button = window_.findChild<QPushButton*>(QString::fromUtf8(name));
    QTest::mouseClick(button, Qt::LeftButton);
  }

  void Close() {
    closeAtMs_ = clock_.elapsed();
    QElapsedTimer closing;
    closing.start();
    window_.close();
    closeMs_ = closing.elapsed();
  }

  void StartSearch() {
    searches_.emplace_back();
    searches_.back().clock.start();
    searches_.back().clickMs = clock_.elapsed();
  }

  void Wait() {
    QElapsedTimer clock;
    clock.start();
    while (!AllCounted() && clock.elapsed() < options_.timeoutMs) QTest::qWait(5);
    waits_.append(
        QJsonObject{{"timedOut", !AllCounted()},
                    {"rows", Rows()},
                    {"recognition", qa::ToQString(window_.GetText(qa::EditBox::Recognition))},
                    {"address", window_.Address()}});
  }

  bool AllCounted() const {
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
      if (!IsNumber(list_->topLevelItem(i)->text(1))) return false;
    }
    return true;
  }

  void OnRowsInserted(int first, int last) {
    rowSearch_.insert(rowSearch_.begin() + first, last - first + 1,
                      static_cast<int>(searches_.size()));
    if (!searches_.empty()) searches_.back().rowsMs = searches_.back().clock.elapsed();
  }

  void OnDataChanged(const QModelIndex& from, const QModelIndex& to) {
    for (int row = from.row(); row <= to.row(); ++row) {
      for (int column = from.column(); column <= to.column(); ++column) {
        QTreeWidgetItem* item = list_->topLevelItem(row);
        if (item == nullptr) continue;
        const int rowSearch = row < static_cast<int>(rowSearch_.size()) ? rowSearch_[row] : -1;
        cellLog_.append(QJsonObject{{"search", static_cast<int>(searches_.size())},
                                    {"rowSearch", rowSearch},
                                    {"row", row},
                                    {"column", column},
                                    {"text", item->text(column)}});
      }
    }
    if (searches_.empty() || searches_.back().countsMs >= 0) return;
    if (list_->topLevelItemCount() > 0 && AllCounted()) {
      searches_.back().countsMs = searches_.back().clock.elapsed();
    }
  }

  void AnswerMessageBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    QString icon = "none";
    if (box->icon() == QMessageBox::Warning) icon = "exclamation";
    if (box->icon() == QMessageBox::Critical) icon = "stop";
    if (box->icon() == QMessageBox::Information) icon = "information";
    if (box->icon() == QMessageBox::Question) icon = "question";
    messages_.append(QJsonObject{{"title", box->windowTitle()},
                                 {"text", box->text()},
                                 {"icon", icon},
                                 {"buttons", static_cast<int>(box->buttons().size())},
                                 {"modal", box->windowModality() == Qt::ApplicationModal},
                                 {"search", static_cast<int>(searches_.size())},
                                 {"atMs", clock_.elapsed()}});
    box->button(QMessageBox::Ok)->click();
  }

  QJsonArray Rows() const {
    QJsonArray rows;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
      rows.append(QJsonArray{list_->topLevelItem(i)->text(0), list_->topLevelItem(i)->text(1)});
    }
    return rows;
  }

  QJsonObject PictureSize(qa::PictureBox box) {
    const qa::Bytes bytes = window_.GetPicture(box);
    const QImage image = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()));
    return QJsonObject{{"width", image.width()}, {"height", image.height()}};
  }

  // What the screen shows of the window, the web view included.
  bool Screenshot() {
    if (options_.screenshot.isEmpty()) return Fail("shot needs --screenshot");
    QTest::qWait(300);  // let the web view paint
    const QRect frame = window_.frameGeometry();
    const QPixmap shot =
        window_.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    return shot.save(options_.screenshot, "PNG") || Fail("cannot write the screenshot");
  }

  const Options& options_;
  qa::AppShell& shell_;
  qa::MainWindow& window_;
  QTreeWidget* list_ = nullptr;
  std::vector<int> rowSearch_;  // per list row, the search that inserted it
  QElapsedTimer clock_;         // since the run began
  PeakSampler workers_;
  qint64 closeMs_ = -1;
  qint64 closeAtMs_ = -1;
  qint64 closeDueMs_ = -1;  // when "close-in" asked for it
  QJsonArray rss_;
  QJsonArray heap_;
  QTimer answerTimer_;
  std::vector<Search> searches_;
  QJsonArray messages_;
  QJsonArray cellLog_;
  QJsonArray waits_;
};

}  // namespace

// The web engine of Qt 6.4 (Chromium) frees one of its own objects through a
// pointer of another size when a page that has loaded is destroyed; under
// AddressSanitizer that would end every run at its close.
extern "C" const char* __asan_default_options() {
  return "new_delete_type_mismatch=0";
}

int main(int argc, char** argv) {
  qa::AppShell::PrepareEnvironment();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("quizassist"));
  qa::AppShell::ApplyApplicationFont();
  const Options options = ParseOptions(QApplication::arguments());
  if (options.phaseTimeoutMs > 0) {
    qa::SetDefaultPhaseTimeout(std::chrono::milliseconds(options.phaseTimeoutMs));
  }

  BrowserRecorder browser;
  if (!options.interactive) {
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "open");
  }

  // Without --key-file the keys go to a key file of this run only.
  QTemporaryDir keyDir;
  const std::string keyFile = options.keyFile.empty()
                                  ? keyDir.filePath(QStringLiteral("Key.ini")).toStdString()
                                  : options.keyFile;
  qa::AppShell shell(options.endpoints, keyFile);
  if (options.setApiKey) shell.Window().SetText(qa::EditBox::ApiKey, qa::ToText(options.apiKey));
  if (options.setSecretKey) {
    shell.Window().SetText(qa::EditBox::SecretKey, qa::ToText(options.secretKey));
  }
  shell.Window().show();
  if (!QTest::qWaitForWindowExposed(&shell.Window())) {
    std::fprintf(stderr, "quizassist-scenario: the window was not shown\n");
    return 1;
  }
  QTest::qWait(50);

  Scenario scenario(options, shell);
  const bool ok = scenario.Run();
  if (options.interactive && shell.Window().isVisible()) {
    scenario.StopAnswering();
    QApplication::exec();
  }
  if (shell.Window().isVisible()) shell.Window().close();
  QJsonObject state = scenario.State(browser);
  QFile saved(QString::fromStdString(keyFile));
  state["keyFile"] =
      saved.open(QIODevice::ReadOnly) ? qa::ToQString(saved.readAll().toStdString()) : QString();

  if (!options.out.isEmpty()) {
    QFile out(options.out);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(state).toJson(QJsonDocument::Indented)) < 0) {
      std::fprintf(stderr, "quizassist-scenario: cannot write %s\n", qPrintable(options.out));
      return 1;
    }
    out.close();
  }
  if (!options.interactive) {
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
  }
  const int result = ok ? 0 : 1;
  if (!shell.ScoringStopped()) {
    std::fflush(nullptr);
    std::quick_exit(result);
  }
  return result;
}

#include "scenario_driver.moc"
