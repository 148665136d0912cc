// SPDX-License-Identifier: MIT
#pragma once

// What a download tells the archive's record as it goes, and what it asks of
// it: the names earlier runs gave to forums and topics, and whether a listed
// topic needs fetching at all. The crawl works without one (every topic is
// fetched and numbered in the order it is listed).

#include <cstdint>
#include <string>

#include "core/run_outcome.h"
#include "text/text_writer.h"

namespace quillstash {

enum class TopicOutcome : std::uint8_t {
  kComplete,    // written with every page
  kIncomplete,  // written without a later page that could not be fetched
  kFailed,      // not written: its first page or its file could not be made
  kStopped,     // not written: the run was stopped while it was taken
};

// What to do with one listed topic.
struct TopicPlan {
  bool take = true;          // false: leave the topic out of this run (its file stays as it is)
  bool fetch = true;         // false: the saved file is current
  std::uint32_t number = 0;  // the topic's number in its forum's folder
  std::string fileName;      // the name an earlier run gave it; empty: name it from the link
};

// Called on the download thread only. Paths are full paths as the crawl
// builds them; the recorder keeps them relative to the archive's root.
class RunRecorder {
 public:
  virtual ~RunRecorder() = default;
  // The archive's folder exists; the board is read as `engine` ("classic"
  // or a profile's name), and `namingOptions` are the settings that shape
  // its names. False refuses the run; the recorder has logged why.
  virtual bool beginRun(const char* archiveRoot, const char* startAddress, const std::string& engine,
                        const std::string& namingOptions) = 0;
  // A forum is about to be entered into the folder `folderPath`. A forum an
  // earlier run saved gets its old folder name back in `folderPath`.
  virtual void forumEntered(const char* address, FixedText<8192>& folderPath) = 0;
  // A topic link of the forum whose folder is `forumFolder`. `rowMarker` is
  // what the forum page shows around the link (empty when nothing usable);
  // `listedNumber` the number the topic gets when nothing else decides.
  virtual TopicPlan planTopic(const char* forumFolder, const char* address, const std::string& rowMarker,
                              std::uint32_t listedNumber) = 0;
  // Whether planTopic would have the topic fetched (taken and not current),
  // asked without planning it: a run that fetches ahead asks before the
  // topic's turn. Changes nothing.
  virtual bool wouldFetch(const char* forumFolder, const char* address, const std::string& rowMarker) = 0;
  // The topic planned last is taken under `filePath` (to be written or kept).
  virtual void topicTaken(const char* filePath, const TopicPlan& plan) = 0;
  // The topic taken last has been written (or failed) under `filePath`; a
  // written file holds `pages` pages and `posts` posts.
  virtual void topicWritten(const char* filePath, TopicOutcome outcome, std::uint32_t pages, std::uint32_t posts) = 0;
  // The run ends: how, with its counts (finished, stopped or with failures).
  virtual void endRun(const RunOutcome& outcome) = 0;
};

}  // namespace quillstash
