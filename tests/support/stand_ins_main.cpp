// quizassist-standins: the OCR and search stand-ins as a program of their
// own, for trying the real window without keys or network (scripts/demo).
//
//   quizassist-standins CARD_DIR [DELAY_MS]
//
// Writes every sample quiz card as a PNG file into CARD_DIR, starts the OCR
// stand-in (token and OCR endpoints) and the search stand-in over HTTPS with
// a certificate authority made for the run, prints
//   ocr-base URL / search-base URL / ca-file PATH / api-key K / secret-key S /
//   card NAME PATH (one line per card) / ready
// and serves until it is sent SIGINT or SIGTERM. DELAY_MS delays each search
// page.
#include <signal.h>

#include <QDir>
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ocr_stand_in.h"
#include "sample_cards.h"
#include "search_stand_in.h"
#include "stand_in_server.h"
#include "test_ca.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: quizassist-standins CARD_DIR [DELAY_MS]\n");
    return 2;
  }
  // Block the signals that end the program before any thread starts, so that
  // only the wait below receives them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QDir cards(QString::fromLocal8Bit(argv[1]));
  const std::chrono::milliseconds delay(argc > 2 ? std::atoi(argv[2]) : 0);

  qa::test::TestCa ca;
  if (!ca.Ok()) {
    std::fprintf(stderr, "quizassist-standins: cannot make the test CA\n");
    return 1;
  }
  qa::test::StandInServer ocrServer(ca);
  qa::test::StandInServer searchServer(ca);
  qa::test::OcrStandIn ocr(ocrServer);
  qa::test::SearchStandIn search(searchServer);
  ocr.AddClient("demo-api-key", "demo-secret-key", "24.demo-token");
  qa::test::AddSampleCards(ocr, search, delay);
  if (!ocrServer.Start() || !searchServer.Start()) {
    std::fprintf(stderr, "quizassist-standins: cannot listen on 127.0.0.1\n");
    return 1;
  }

  std::printf("ocr-base %s\n", ocrServer.BaseUrl().c_str());
  std::printf("search-base %s\n", searchServer.BaseUrl().c_str());
  std::printf("ca-file %s\n", ca.CaCertPath().c_str());
  std::printf("api-key demo-api-key\nsecret-key demo-secret-key\n");
  for (const qa::test::SampleCard* sample : qa::test::AllSampleCards()) {
    const QString path = cards.filePath(sample->card.name + QStringLiteral(".png"));
    if (!qa::test::SaveQuizCard(sample->card, path)) {
      std::fprintf(stderr, "quizassist-standins: cannot write %s\n", qPrintable(path));
      return 1;
    }
    std::printf("card %s %s\n", sample->card.name.toUtf8().constData(), path.toUtf8().constData());
  }
  std::printf("ready\n");
  std::fflush(stdout);

  int received = 0;
  sigwait(&stop, &received);
  return 0;
}
