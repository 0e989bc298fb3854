#include "cli/board_fleet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/profile_commands.h"
#include "cli/progress.h"

namespace vorna::cli {

namespace {

// How often the total progress is redrawn while boards run.
constexpr std::chrono::milliseconds PROGRESS_INTERVAL{200};

struct BoardOutcome {
  std::ostringstream out;
  std::ostringstream err;
  std::atomic<std::size_t> sent{0};
  std::atomic<std::size_t> total{0};
  int status = EXIT_OK;
  bool done = false;  // under the runner's mutex
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void PrintPrefixed(std::ostream& to, const std::string& label, const std::string& text) {
  for (const std::string& line : Lines(text)) to << label << ": " << line << '\n';
  to.flush();
}

// stdout holds what a command printed only when it succeeded, for diff also
// when it found a difference: the rule of a single board.
bool OutputKept(int status, bool diff) { return status == EXIT_OK || (diff && status == DIFF_DIFFERENT); }

std::string JoinLabels(const std::vector<std::string>& labels) {
  std::string text;
  for (const std::string& label : labels) text += (text.empty() ? "" : ", ") + label;
  return text;
}

}  // namespace

Json BoardRecord(const std::string& label, int status, const std::string& out, const std::string& err) {
  Json record = Json::object();
  record["port"] = label;
  record["status"] = status;
  record["succeeded"] = status == EXIT_OK;
  if (!out.empty()) {
    Json parsed = Json::parse(out, nullptr, false);
    if (parsed.is_discarded())
      record["output"] = Lines(out);
    else
      record["result"] = std::move(parsed);
  }
  record["messages"] = Lines(err);
  return record;
}

std::string FleetSummary(const std::vector<std::string>& labels, const std::vector<int>& statuses, bool diff) {
  std::vector<std::string> differ, failed;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (statuses[i] == EXIT_OK) continue;
    (diff && statuses[i] == DIFF_DIFFERENT ? differ : failed).push_back(labels[i]);
  }
  const std::size_t succeeded = labels.size() - differ.size() - failed.size();
  std::string text = std::to_string(labels.size()) + (labels.size() == 1 ? " board: " : " boards: ") +
                     std::to_string(succeeded) + " succeeded";
  if (!differ.empty()) text += ", " + JoinLabels(differ) + (differ.size() == 1 ? " differs" : " differ");
  if (!failed.empty()) text += ", " + JoinLabels(failed) + " failed";
  return text;
}

int RunOnBoards(const std::vector<PortChoice>& boards, const BoardTask& task, Environment& env,
                const FleetOutput& how) {
  std::vector<std::unique_ptr<BoardOutcome>> outcomes;
  for (std::size_t i = 0; i < boards.size(); ++i) outcomes.push_back(std::make_unique<BoardOutcome>());
  std::mutex mutex;
  std::condition_variable ended;
  {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < boards.size(); ++i) {
      threads.emplace_back([&, i] {
        BoardOutcome& outcome = *outcomes[i];
        Environment boardEnv{outcome.out,    outcome.err,   false,        env.makeTransport,
                             env.stopSignal, env.portRoots, env.variable, env.trace};
        int status = EXIT_FAILED;
        try {
          status = task(boardEnv, boards[i], [&outcome](std::size_t sent, std::size_t total) {
            outcome.total = total;
            outcome.sent = sent;
          });
        } catch (const std::exception& e) {
          // One board's trouble is its own; the others go on.
          PrintError(outcome.err, e.what());
        }
        {
          const std::lock_guard lock(mutex);
          outcome.status = status;
          outcome.done = true;
        }
        ended.notify_all();
      });
    }
    // Each board's lines as soon as it and those before it have ended, so
    // that the order is the boards' whatever their speed.
    ProgressBar bar(env.err, how.showProgress);
    std::size_t next = 0;
    std::unique_lock lock(mutex);
    while (next < boards.size()) {
      ended.wait_for(lock, PROGRESS_INTERVAL, [&] { return outcomes[next]->done; });
      bar.Clear();
      for (; next < boards.size() && outcomes[next]->done; ++next) {
        const BoardOutcome& outcome = *outcomes[next];
        if (how.json) continue;
        // After a stop signal only stderr: how far each download came.
        if (how.printOutput && OutputKept(outcome.status, how.diff) && !StopRequested(env))
          PrintPrefixed(env.out, BoardLabel(boards[next]), outcome.out.str());
        PrintPrefixed(env.err, BoardLabel(boards[next]), outcome.err.str());
      }
      std::size_t sent = 0, total = 0;
      for (const auto& outcome : outcomes) {
        sent += outcome->sent;
        total += outcome->total;
      }
      if (next < boards.size()) bar.Show(sent, total);
    }
    bar.Clear();
  }
  if (StopRequested(env)) {
    if (how.json)
      for (std::size_t i = 0; i < boards.size(); ++i)
        PrintPrefixed(env.err, BoardLabel(boards[i]), outcomes[i]->err.str());
    return EXIT_SIGNAL_BASE + *env.stopSignal;
  }

  std::vector<std::string> labels;
  std::vector<int> statuses;
  Json records = Json::array();
  for (std::size_t i = 0; i < boards.size(); ++i) {
    const BoardOutcome& outcome = *outcomes[i];
    labels.push_back(BoardLabel(boards[i]));
    statuses.push_back(outcome.status);
    if (how.json)
      records.push_back(BoardRecord(labels.back(), outcome.status,
                                    OutputKept(outcome.status, how.diff) ? outcome.out.str() : std::string(),
                                    outcome.err.str()));
  }
  if (how.json) {
    PrintJson(env.out, records);
    // Messages stay on stderr too, where a person looks for them.
    for (std::size_t i = 0; i < boards.size(); ++i) PrintPrefixed(env.err, labels[i], outcomes[i]->err.str());
  }
  const bool allSucceeded = std::all_of(statuses.begin(), statuses.end(), [](int s) { return s == EXIT_OK; });
  if (!allSucceeded)
    env.err << FleetSummary(labels, statuses, how.diff) << '\n';
  else if (how.printOutput && !how.json)
    env.out << FleetSummary(labels, statuses, how.diff) << '\n';
  if (allSucceeded) return EXIT_OK;
  if (!how.diff) return EXIT_FAILED;
  return std::any_of(statuses.begin(), statuses.end(), [](int s) { return s != EXIT_OK && s != DIFF_DIFFERENT; })
             ? DIFF_TROUBLE
             : DIFF_DIFFERENT;
}

}  // namespace vorna::cli
