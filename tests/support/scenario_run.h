// Runs the scenario driver (quizassist-scenario) as a child process and reads
// the JSON it writes, with small readers for the parts tests look at.
#pragma once

#include <sys/wait.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"

namespace qa::test {

struct ScenarioRun {
  QJsonObject state;  // empty when the driver wrote none
  int status = -1;    // as waitpid reports it
  // From the answer to the last "sync" step to the driver's end.
  std::chrono::milliseconds afterLastSync{-1};

  bool ExitedCleanly() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// Runs `driver` with `arguments` plus "--out <outFile>". `onSync` runs at each
// "sync" step with its number from 1. Gives up on a driver silent for
// `silenceMs` and kills one that has not ended `endMs` after its last line.
inline ScenarioRun RunScenario(const std::string& driver, std::vector<std::string> arguments,
                               const std::string& outFile,
                               const std::function<void(int)>& onSync = {}, int silenceMs = 120000,
                               int endMs = 60000) {
  arguments.insert(arguments.begin(), driver);
  arguments.push_back("--out");
  arguments.push_back(outFile);
  QFile::remove(QString::fromStdString(outFile));
  ScenarioRun run;
  ChildProcess process(arguments);
  if (!process.Running()) return run;
  auto lastSync = std::chrono::steady_clock::now();
  std::string line;
  int syncs = 0;
  while (process.ReadLine(line, silenceMs)) {
    if (line != "sync") continue;
    if (onSync) onSync(++syncs);
    process.WriteLine("go");
    lastSync = std::chrono::steady_clock::now();
  }
  run.status = process.Finish(endMs);
  run.afterLastSync = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - lastSync);
  QFile file(QString::fromStdString(outFile));
  if (file.open(QIODevice::ReadOnly)) run.state = QJsonDocument::fromJson(file.readAll()).object();
  return run;
}

// A message box as the driver recorded it.
struct ScenarioMessage {
  QString text;
  QString icon;
  int search = 0;  // the number of searches clicked before it came
  bool operator==(const ScenarioMessage& other) const {
    return text == other.text && icon == other.icon && search == other.search;
  }
};
inline void PrintTo(const ScenarioMessage& m, std::ostream* os) {
  *os << "{" << m.text.toStdString() << " | " << m.icon.toStdString() << " | search " << m.search
      << "}";
}

inline std::vector<ScenarioMessage> MessagesOf(const QJsonObject& state) {
  std::vector<ScenarioMessage> messages;
  for (const QJsonValue& v : state["messages"].toArray()) {
    const QJsonObject m = v.toObject();
    messages.push_back({m["text"].toString(), m["icon"].toString(), m["search"].toInt()});
  }
  return messages;
}

using ScenarioRows = std::vector<std::pair<QString, QString>>;

inline ScenarioRows RowsOf(const QJsonValue& rows) {
  ScenarioRows out;
  for (const QJsonValue& row : rows.toArray()) {
    out.emplace_back(row.toArray()[0].toString(), row.toArray()[1].toString());
  }
  return out;
}

}  // namespace qa::test
