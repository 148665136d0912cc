// SPDX-License-Identifier: MIT
#include "app/manifest_recorder.h"

#include <cstring>
#include <ctime>

#include "platform/files.h"
#include "platform/path.h"
#include "text/address.h"

namespace quillstash {
namespace {

// The address a topic is known by across runs: session ids left out.
std::string stableIdOf(const char* address) {
  FixedText<8192> clean;
  TextWriter out = clean.writer();
  appendLinkWithoutSessionIds(address, out);
  out.terminate();
  return std::string(clean.view());
}

TopicState stateOf(TopicOutcome outcome) {
  switch (outcome) {
    case TopicOutcome::kComplete: return TopicState::kComplete;
    case TopicOutcome::kIncomplete:
    case TopicOutcome::kStopped: return TopicState::kIncomplete;
    case TopicOutcome::kFailed: return TopicState::kFailed;
  }
  return TopicState::kFailed;
}

const char* lastComponent(const char* path) {
  const char* separator = std::strrchr(path, platform::kPathSeparator);
  return separator == nullptr ? path : separator + 1;
}

}  // namespace

std::string ManifestRecorder::relative(const char* path) const {
  std::string_view text(path);
  if (text.substr(0, root_.size()) != root_) return std::string(text);
  text.remove_prefix(root_.size());
  while (!text.empty() && text.front() == platform::kPathSeparator) text.remove_prefix(1);
  return storedPath(std::string(text));
}

ForumReport& ManifestRecorder::forumReport(const std::string& folder) {
  auto [found, added] = forumIndex_.emplace(folder, report_.forums.size());
  if (added) {
    report_.forums.emplace_back();
    report_.forums.back().folder = folder;
  }
  return report_.forums[found->second];
}

bool ManifestRecorder::beginRun(const char* archiveRoot, const char* startAddress, const std::string& engine,
                                const std::string& namingOptions) {
  root_ = archiveRoot;
  started_ = std::chrono::steady_clock::now();
  report_ = RunReport();
  report_.startAddress = startAddress;
  forumIndex_.clear();
  Manifest::OpenResult result;
  std::string error;
  const bool existed = platform::pathExists(Manifest::databasePath(root_).c_str());
  manifest_ = Manifest::open(root_, BoardRecord{startAddress, engine, namingOptions}, result, error);
  if (manifest_ == nullptr) {
    // Without the manifest of an earlier run its names are unknown, so a run
    // into that archive would number its topics anew: refused. A new archive
    // whose manifest cannot be made (a full disk) is still downloaded.
    if (existed || result == Manifest::OpenResult::kOtherBoard) {
      log_.logLine("[ X ] " + error + "\r\n");
      return false;
    }
    log_.logLine("[ X ] The archive's manifest could not be made (" + error + "); the run goes on without it\r\n");
    return true;
  }
  if (result == Manifest::OpenResult::kOpened) log_.logLine("* Refreshing the archive in " + root_ + "\r\n");
  return true;
}

void ManifestRecorder::forumEntered(const char* address, FixedText<8192>& folderPath) {
  if (!manifest_) return;
  std::string stableId = stableIdOf(address);
  std::optional<ForumRecord> known = manifest_->forum(stableId);
  if (known) {
    // Keep the folder an earlier run made, under the parent folder of now.
    char* name = const_cast<char*>(lastComponent(folderPath.c_str()));
    std::size_t parentLength = static_cast<std::size_t>(name - folderPath.data);
    std::string_view oldName = std::string_view(known->folder).substr(known->folder.rfind('/') + 1);
    if (parentLength + oldName.size() < sizeof folderPath.data) {
      std::memcpy(name, oldName.data(), oldName.size());
      name[oldName.size()] = '\0';
    }
  }
  manifest_->putForum({stableId, relative(folderPath.c_str()), known ? known->number : 0});
}

bool ManifestRecorder::fetchesKnownTopic(const TopicRecord& known, const std::string& rowMarker) const {
  std::string file =
      root_ + platform::kPathSeparator + nativePath(known.folder) + platform::kPathSeparator + known.fileName;
  bool current =
      known.state == TopicState::kComplete && !known.fileName.empty() && platform::regularFileSize(file.c_str()) >= 0;
  switch (mode_) {
    case RefreshMode::kFull: return true;
    case RefreshMode::kRetryFailed: return !current;
    case RefreshMode::kRefresh: return !current || rowMarker.empty() || rowMarker != known.lastPost;
  }
  return true;
}

bool ManifestRecorder::wouldFetch(const char* forumFolder, const char* address, const std::string& rowMarker) {
  if (!manifest_) return true;
  std::optional<TopicRecord> known = manifest_->topic(stableIdOf(address));
  if (!known || known->folder != relative(forumFolder)) return mode_ != RefreshMode::kRetryFailed;
  return fetchesKnownTopic(*known, rowMarker);
}

TopicPlan ManifestRecorder::planTopic(const char* forumFolder, const char* address, const std::string& rowMarker,
                                      std::uint32_t listedNumber) {
  TopicPlan plan;
  plan.number = listedNumber;
  current_.reset();
  if (!manifest_) return plan;
  std::string stableId = stableIdOf(address);
  std::string folder = relative(forumFolder);
  std::optional<TopicRecord> known = manifest_->topic(stableId);
  if (!known || known->folder != folder) {
    // A new topic (or one moved to another forum) takes the next free number.
    plan.take = mode_ != RefreshMode::kRetryFailed;
    plan.number = manifest_->nextTopicNumber(folder);
    TopicRecord topic;
    topic.stableId = stableId;
    topic.address = address;
    topic.folder = folder;
    topic.number = plan.number;
    topic.lastPost = rowMarker;
    current_ = topic;
    return plan;
  }
  plan.number = known->number;
  plan.fileName = known->fileName;
  plan.fetch = fetchesKnownTopic(*known, rowMarker);
  known->address = address;
  if (plan.fetch) known->lastPost = rowMarker;
  current_ = known;
  return plan;
}

void ManifestRecorder::topicTaken(const char* /*filePath*/, const TopicPlan& plan) {
  if (!manifest_ || !current_) return;
  ++forumReport(current_->folder).listed;
  if (!plan.fetch) {
    ++forumReport(current_->folder).kept;
    current_.reset();
    return;
  }
  current_->state = TopicState::kPending;
  manifest_->putTopic(*current_);
}

void ManifestRecorder::topicWritten(const char* filePath, TopicOutcome outcome, std::uint32_t pages,
                                    std::uint32_t posts) {
  if (!manifest_ || !current_) return;
  current_->fileName = lastComponent(filePath);
  current_->state = stateOf(outcome);
  // A topic that was not written keeps what its file of an earlier run holds.
  if (outcome == TopicOutcome::kComplete || outcome == TopicOutcome::kIncomplete) {
    current_->pages = pages;
    current_->posts = posts;
  }
  manifest_->putTopic(*current_);
  ForumReport& forum = forumReport(current_->folder);
  if (outcome == TopicOutcome::kComplete) {
    ++forum.written;
    std::int64_t size = platform::regularFileSize(filePath);
    if (size >= 0) {
      manifest_->putFile(
          {current_->stableId, relative(filePath), current_->stableId, static_cast<std::uint64_t>(size)});
    }
  } else {
    const char* reason = outcome == TopicOutcome::kFailed    ? "not saved"
                         : outcome == TopicOutcome::kStopped ? "stopped before it was saved"
                                                             : "incomplete";
    manifest_->addFailure({current_->address, reason, static_cast<std::int64_t>(std::time(nullptr))});
    // A topic that was not written has no file of this run to point to.
    const bool written = outcome == TopicOutcome::kIncomplete;
    forum.problems.push_back({current_->address, written ? relative(filePath) : std::string(), reason});
  }
  current_.reset();
}

std::string ManifestRecorder::savedName(const char* address, std::string_view folder) {
  if (!manifest_ || !current_ || mode_ == RefreshMode::kFull) return {};
  std::optional<FileRecord> known = manifest_->file(address);
  // Only this topic's own files: another topic's copy is not where this
  // topic's file links to, nor named after it.
  if (!known || known->topic != current_->stableId) return {};
  const std::string wanted = std::string(folder);
  const std::string path = root_ + platform::kPathSeparator + nativePath(known->name);
  if (path.substr(0, wanted.size()) != wanted ||
      path.find(platform::kPathSeparator, wanted.size()) != std::string::npos) {
    return {};  // saved into another folder (the topic has moved)
  }
  std::int64_t size = platform::regularFileSize(path.c_str());
  if (size < 0 || static_cast<std::uint64_t>(size) != known->size) return {};
  return path.substr(wanted.size());
}

void ManifestRecorder::fileSaved(const char* address, std::string_view folder, std::string_view name) {
  if (!manifest_ || !current_) return;
  std::string path = std::string(folder) + std::string(name);
  std::int64_t size = platform::regularFileSize(path.c_str());
  if (size < 0) return;
  manifest_->putFile({address, relative(path.c_str()), current_->stableId, static_cast<std::uint64_t>(size)});
}

void ManifestRecorder::endRun(const RunOutcome& outcome) {
  if (!manifest_) return;
  if (indexPages_ && !writeIndexPages(root_, *manifest_)) {
    log_.logLine("[ X ] Error creating the index pages in " + root_ + "\r\n");
  }
  manifest_.reset();
  report_.finished = outcome.end != RunEnd::kStopped;
  report_.requests = outcome.counts.requests;
  report_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  if (writeReport(root_, report_)) {
    reportPage_ = root_ + platform::kPathSeparator + "report.html";
  } else {
    log_.logLine("[ X ] Error creating the report in " + root_ + "\r\n");
  }
}

}  // namespace quillstash
