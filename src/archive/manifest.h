// SPDX-License-Identifier: MIT
#pragma once

// The archive's manifest: a small SQLite database at
// <archive root>/.quillstash/archive.db that records what a run has listed and
// saved, so that a later run into the same folder keeps every name and fetches
// only what changed. Every change is one committed transaction (write-ahead
// log), so a process killed at any moment leaves the database as it was after
// the last finished change. Not thread-safe: used by the download thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace quillstash {

enum class TopicState : std::uint8_t { kPending, kComplete, kIncomplete, kFailed };

// What identifies the board an archive belongs to.
struct BoardRecord {
  std::string startAddress;
  std::string engine;         // empty when not known
  std::string namingOptions;  // the settings that shape folder and file names
};

struct ForumRecord {
  std::string address;
  std::string folder;  // relative to the archive root
  std::uint32_t number = 0;
};

struct TopicRecord {
  std::string stableId;  // the address with session ids removed
  std::string address;
  std::string folder;  // the forum's folder, relative to the archive root
  std::uint32_t number = 0;
  std::string fileName;  // empty until the file was written once
  std::uint32_t pages = 0;
  std::uint32_t posts = 0;
  std::string lastPost;  // what the forum page showed of the topic's last post
  TopicState state = TopicState::kPending;
};

struct FileRecord {
  std::string address;
  std::string name;   // relative to the archive root
  std::string topic;  // the owner topic's stable id
  std::uint64_t size = 0;
};

struct FailureRecord {
  std::string address;
  std::string reason;
  std::int64_t time = 0;  // seconds since 1970
};

class Manifest {
 public:
  static constexpr int kSchemaVersion = 1;

  enum class OpenResult : std::uint8_t { kCreated, kOpened, kOtherBoard, kFailed };

  // Opens (or creates) the manifest of the archive at `archiveRoot` for
  // `board`. kOtherBoard when it records a different start address; the
  // manifest is then returned closed (nullptr). `error` names the problem.
  static std::unique_ptr<Manifest> open(const std::string& archiveRoot, const BoardRecord& board, OpenResult& result,
                                        std::string& error);
  // Opens an existing manifest to read it; nullptr when there is none.
  static std::unique_ptr<Manifest> openExisting(const std::string& archiveRoot, std::string& error);

  ~Manifest();
  Manifest(const Manifest&) = delete;
  Manifest& operator=(const Manifest&) = delete;

  static std::string databasePath(const std::string& archiveRoot);

  BoardRecord board() const;

  std::optional<ForumRecord> forum(const std::string& address) const;
  void putForum(const ForumRecord& forum);
  std::vector<ForumRecord> forums() const;

  std::optional<TopicRecord> topic(const std::string& stableId) const;
  void putTopic(const TopicRecord& topic);
  // One above the highest topic number recorded in `folder` (1 for none).
  std::uint32_t nextTopicNumber(const std::string& folder) const;
  std::vector<TopicRecord> topics() const;
  // Each topic recorded, in the order of topics(), one at a time: a board's
  // whole list is not held at once.
  void forEachTopic(const std::function<void(const TopicRecord&)>& visit) const;

  // Whether `address` was saved as a file of `topic`, and under which name.
  std::optional<FileRecord> file(const std::string& address) const;
  void putFile(const FileRecord& file);
  std::vector<FileRecord> files() const;

  void addFailure(const FailureRecord& failure);
  std::vector<FailureRecord> failures() const;

 private:
  explicit Manifest(sqlite3* db) : db_(db) {}
  bool migrate(std::string& error);
  // The statement for `sql` (a constant text), prepared on first use and
  // kept until the manifest closes, so that a change per topic does not
  // compile its statement again; nullptr when it cannot be prepared.
  sqlite3_stmt* kept(const char* sql) const;

  sqlite3* db_;
  mutable std::vector<std::pair<const char*, sqlite3_stmt*>> kept_;
};

const char* topicStateName(TopicState state);

}  // namespace quillstash
