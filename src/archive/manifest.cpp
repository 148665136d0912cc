// SPDX-License-Identifier: MIT
#include "archive/manifest.h"

#include <sqlite3.h>

#include <cstring>

#include "platform/files.h"
#include "platform/path.h"

namespace quillstash {
namespace {

// One prepared statement, finalised by its destructor.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : owned_(true) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  // Borrows a statement kept prepared by its owner: reset and unbound by the
  // destructor, so that the next use starts afresh.
  explicit Statement(sqlite3_stmt* kept) : stmt_(kept), owned_(false) {}
  ~Statement() {
    if (owned_) {
      sqlite3_finalize(stmt_);
    } else if (stmt_ != nullptr) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int index, const std::string& text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  // True while a row is there to read.
  bool step() { return stmt_ != nullptr && sqlite3_step(stmt_) == SQLITE_ROW; }
  // Runs a statement that returns no rows; true when it succeeded.
  bool run() { return stmt_ != nullptr && sqlite3_step(stmt_) == SQLITE_DONE; }
  std::string text(int column) const {
    const unsigned char* value = sqlite3_column_text(stmt_, column);
    return value == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(value));
  }
  std::int64_t number(int column) const { return sqlite3_column_int64(stmt_, column); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool owned_;
};

bool execute(sqlite3* db, const char* sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message == nullptr ? "unknown database error" : message;
  sqlite3_free(message);
  return false;
}

// Each entry brings the schema from its index to the next version; a new
// version appends its step and raises kSchemaVersion.
constexpr const char* kMigrations[] = {
    "CREATE TABLE board(id INTEGER PRIMARY KEY CHECK (id = 1), start_address TEXT NOT NULL, engine TEXT NOT "
    "NULL,"
    " naming_options TEXT NOT NULL);"
    "CREATE TABLE forums(address TEXT PRIMARY KEY, folder TEXT NOT NULL, number INTEGER NOT NULL);"
    "CREATE TABLE topics(stable_id TEXT PRIMARY KEY, address TEXT NOT NULL, folder TEXT NOT NULL,"
    " number INTEGER NOT NULL, file_name TEXT NOT NULL, pages INTEGER NOT NULL, posts INTEGER NOT NULL,"
    " last_post TEXT NOT NULL, state INTEGER NOT NULL);"
    "CREATE INDEX topics_by_folder ON topics(folder, number);"
    "CREATE TABLE files(address TEXT PRIMARY KEY, name TEXT NOT NULL, topic TEXT NOT NULL, size INTEGER NOT "
    "NULL);"
    "CREATE TABLE failures(address TEXT NOT NULL, reason TEXT NOT NULL, time INTEGER NOT NULL);",
};
static_assert(std::size(kMigrations) == Manifest::kSchemaVersion);

sqlite3* openDatabase(const std::string& path, int flags, std::string& error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    error = db == nullptr ? "cannot open " + path : sqlite3_errmsg(db);
    sqlite3_close(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, 5000);
  // The write-ahead log keeps every committed change across a killed process;
  // NORMAL syncing is enough for that (only a power loss may lose the last
  // changes, never the database's consistency).
  if (!execute(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", error)) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

}  // namespace

const char* topicStateName(TopicState state) {
  switch (state) {
    case TopicState::kPending: return "pending";
    case TopicState::kComplete: return "complete";
    case TopicState::kIncomplete: return "incomplete";
    case TopicState::kFailed: return "failed";
  }
  return "pending";
}

std::string Manifest::databasePath(const std::string& archiveRoot) {
  std::string path = archiveRoot;
  if (!path.empty() && path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
  path += ".quillstash";
  path += platform::kPathSeparator;
  path += "archive.db";
  return path;
}

bool Manifest::migrate(std::string& error) {
  if (!execute(db_, "CREATE TABLE IF NOT EXISTS schema_version(version INTEGER NOT NULL)", error)) return false;
  std::int64_t version = 0;
  {
    Statement read(db_, "SELECT version FROM schema_version");
    if (read.step()) {
      version = read.number(0);
    } else if (!execute(db_, "INSERT INTO schema_version VALUES (0)", error)) {
      return false;
    }
  }
  if (version > kSchemaVersion) {
    error = "the archive was written by a newer version of this program";
    return false;
  }
  for (; version < kSchemaVersion; ++version) {
    if (!execute(db_, "BEGIN IMMEDIATE", error)) return false;
    std::string step = kMigrations[version];
    step += "UPDATE schema_version SET version = " + std::to_string(version + 1) + ";";
    if (!execute(db_, step.c_str(), error)) {
      std::string ignored;
      execute(db_, "ROLLBACK", ignored);
      return false;
    }
    if (!execute(db_, "COMMIT", error)) return false;
  }
  return true;
}

std::unique_ptr<Manifest> Manifest::open(const std::string& archiveRoot, const BoardRecord& board, OpenResult& result,
                                         std::string& error) {
  result = OpenResult::kFailed;
  std::string folder = archiveRoot;
  if (!folder.empty() && folder.back() != platform::kPathSeparator) folder += platform::kPathSeparator;
  folder += ".quillstash";
  if (platform::createDirectory(folder.c_str()) == platform::CreateDirectoryResult::kFailed) {
    error = "cannot create " + folder;
    return nullptr;
  }
  sqlite3* db = openDatabase(databasePath(archiveRoot), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, error);
  if (db == nullptr) return nullptr;
  std::unique_ptr<Manifest> manifest(new Manifest(db));
  if (!manifest->migrate(error)) return nullptr;

  Statement read(db, "SELECT start_address FROM board WHERE id = 1");
  if (read.step()) {
    if (read.text(0) != board.startAddress) {
      error = "the folder holds the archive of another board: " + read.text(0);
      result = OpenResult::kOtherBoard;
      return nullptr;
    }
    result = OpenResult::kOpened;
    return manifest;
  }
  Statement insert(db, "INSERT INTO board VALUES (1, ?, ?, ?)");
  if (!insert.bind(1, board.startAddress).bind(2, board.engine).bind(3, board.namingOptions).run()) {
    error = sqlite3_errmsg(db);
    return nullptr;
  }
  result = OpenResult::kCreated;
  return manifest;
}

std::unique_ptr<Manifest> Manifest::openExisting(const std::string& archiveRoot, std::string& error) {
  std::string path = databasePath(archiveRoot);
  if (!platform::pathExists(path.c_str())) {
    error = "no archive manifest at " + path;
    return nullptr;
  }
  sqlite3* db = openDatabase(path, SQLITE_OPEN_READWRITE, error);
  if (db == nullptr) return nullptr;
  std::unique_ptr<Manifest> manifest(new Manifest(db));
  if (!manifest->migrate(error)) return nullptr;
  return manifest;
}

Manifest::~Manifest() {
  for (const auto& entry : kept_) sqlite3_finalize(entry.second);
  sqlite3_close(db_);
}

sqlite3_stmt* Manifest::kept(const char* sql) const {
  for (const auto& entry : kept_) {
    if (entry.first == sql || std::strcmp(entry.first, sql) == 0) return entry.second;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  kept_.emplace_back(sql, statement);
  return statement;
}

BoardRecord Manifest::board() const {
  Statement read(db_, "SELECT start_address, engine, naming_options FROM board WHERE id = 1");
  if (!read.step()) return {};
  return {read.text(0), read.text(1), read.text(2)};
}

std::optional<ForumRecord> Manifest::forum(const std::string& address) const {
  Statement read(kept("SELECT address, folder, number FROM forums WHERE address = ?"));
  read.bind(1, address);
  if (!read.step()) return std::nullopt;
  return ForumRecord{read.text(0), read.text(1), static_cast<std::uint32_t>(read.number(2))};
}

void Manifest::putForum(const ForumRecord& forum) {
  Statement write(kept("INSERT OR REPLACE INTO forums VALUES (?, ?, ?)"));
  write.bind(1, forum.address).bind(2, forum.folder).bind(3, forum.number).run();
}

std::vector<ForumRecord> Manifest::forums() const {
  std::vector<ForumRecord> list;
  Statement read(db_, "SELECT address, folder, number FROM forums ORDER BY folder");
  while (read.step()) list.push_back({read.text(0), read.text(1), static_cast<std::uint32_t>(read.number(2))});
  return list;
}

namespace {
constexpr const char* kTopicColumns =
    "SELECT stable_id, address, folder, number, file_name, pages, posts, last_post, state FROM topics";
constexpr const char* kTopicById =
    "SELECT stable_id, address, folder, number, file_name, pages, posts, last_post, state FROM topics"
    " WHERE stable_id = ?";

TopicRecord topicOf(const Statement& row) {
  TopicRecord topic;
  topic.stableId = row.text(0);
  topic.address = row.text(1);
  topic.folder = row.text(2);
  topic.number = static_cast<std::uint32_t>(row.number(3));
  topic.fileName = row.text(4);
  topic.pages = static_cast<std::uint32_t>(row.number(5));
  topic.posts = static_cast<std::uint32_t>(row.number(6));
  topic.lastPost = row.text(7);
  std::int64_t state = row.number(8);
  topic.state = state >= 0 && state <= 3 ? static_cast<TopicState>(state) : TopicState::kPending;
  return topic;
}
}  // namespace

std::optional<TopicRecord> Manifest::topic(const std::string& stableId) const {
  Statement read(kept(kTopicById));
  read.bind(1, stableId);
  if (!read.step()) return std::nullopt;
  return topicOf(read);
}

void Manifest::putTopic(const TopicRecord& topic) {
  Statement write(kept("INSERT OR REPLACE INTO topics VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
  write.bind(1, topic.stableId).bind(2, topic.address).bind(3, topic.folder).bind(4, topic.number);
  write.bind(5, topic.fileName).bind(6, topic.pages).bind(7, topic.posts).bind(8, topic.lastPost);
  write.bind(9, static_cast<std::int64_t>(topic.state)).run();
}

std::uint32_t Manifest::nextTopicNumber(const std::string& folder) const {
  Statement read(kept("SELECT MAX(number) FROM topics WHERE folder = ?"));
  read.bind(1, folder);
  return read.step() ? static_cast<std::uint32_t>(read.number(0)) + 1 : 1;
}

std::vector<TopicRecord> Manifest::topics() const {
  std::vector<TopicRecord> list;
  forEachTopic([&list](const TopicRecord& topic) { list.push_back(topic); });
  return list;
}

void Manifest::forEachTopic(const std::function<void(const TopicRecord&)>& visit) const {
  Statement read(db_, (std::string(kTopicColumns) + " ORDER BY folder, number").c_str());
  while (read.step()) visit(topicOf(read));
}

std::optional<FileRecord> Manifest::file(const std::string& address) const {
  Statement read(kept("SELECT address, name, topic, size FROM files WHERE address = ?"));
  read.bind(1, address);
  if (!read.step()) return std::nullopt;
  return FileRecord{read.text(0), read.text(1), read.text(2), static_cast<std::uint64_t>(read.number(3))};
}

void Manifest::putFile(const FileRecord& file) {
  Statement write(kept("INSERT OR REPLACE INTO files VALUES (?, ?, ?, ?)"));
  write.bind(1, file.address)
      .bind(2, file.name)
      .bind(3, file.topic)
      .bind(4, static_cast<std::int64_t>(file.size))
      .run();
}

std::vector<FileRecord> Manifest::files() const {
  std::vector<FileRecord> list;
  Statement read(db_, "SELECT address, name, topic, size FROM files ORDER BY name");
  while (read.step()) {
    list.push_back({read.text(0), read.text(1), read.text(2), static_cast<std::uint64_t>(read.number(3))});
  }
  return list;
}

void Manifest::addFailure(const FailureRecord& failure) {
  Statement write(kept("INSERT INTO failures VALUES (?, ?, ?)"));
  write.bind(1, failure.address).bind(2, failure.reason).bind(3, failure.time).run();
}

std::vector<FailureRecord> Manifest::failures() const {
  std::vector<FailureRecord> list;
  Statement read(db_, "SELECT address, reason, time FROM failures ORDER BY rowid");
  while (read.step()) list.push_back({read.text(0), read.text(1), read.number(2)});
  return list;
}

}  // namespace quillstash
