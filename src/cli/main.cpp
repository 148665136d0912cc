// SPDX-License-Identifier: MIT
// quillstash-cli: downloads a whole forum from the command line. Standard
// output carries the activity log; see --help.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "app/session.h"
#include "cli/options.h"
#include "cli/run.h"
#include "cli/stream_log_view.h"
#include "core/version.h"
#include "platform/interrupt.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  using namespace quillstash;
  platform::useBinaryStandardStreams();
  std::vector<std::string> arguments = platform::programArguments(argc, argv);
  cli::ParseResult parsed = cli::parseArguments(arguments);
  if (!parsed.ok) {
    std::fprintf(stderr, "quillstash-cli: %s\nTry 'quillstash-cli --help' for more information.\n",
                 parsed.error.c_str());
    return cli::kExitUsage;
  }
  if (parsed.options.showHelp) {
    std::fputs(cli::usageText().c_str(), stdout);
    return cli::kExitSuccess;
  }
  if (parsed.options.listEngines) return cli::listEngines(parsed.options.settings, stdout, stderr);
  if (parsed.options.showVersion) {
    std::puts("quillstash-cli " QUILLSTASH_VERSION);
    return cli::kExitSuccess;
  }

  cli::StreamLogView view(parsed.options.listForums ? stderr : stdout);
  // Ctrl-C stops the session from the watcher's thread; the lock keeps the
  // session alive until such a stop has returned.
  std::mutex runningMutex;
  Session* running = nullptr;
  platform::InterruptWatcher watcher([&] {
    std::lock_guard<std::mutex> lock(runningMutex);
    if (running != nullptr) running->stop();
  });
  Session session(view, parsed.options.receiveTimeout);
  {
    std::lock_guard<std::mutex> lock(runningMutex);
    running = &session;
  }
  int status = cli::runCli(parsed.options, session, stdout, stderr, &view);
  {
    std::lock_guard<std::mutex> lock(runningMutex);
    running = nullptr;
  }
  session.stop();
  view.finishLine();
  // An interrupted run did not finish, whatever it had saved until then. A
  // download that had ended before the interrupt reached it (its last line
  // written) keeps its status.
  const RunEnd end = session.downloadOutcome().end;
  const bool ended = end == RunEnd::kComplete || end == RunEnd::kFailedItems;
  return watcher.interrupted() && !ended ? cli::kExitIncomplete : status;
}
