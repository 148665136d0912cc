// SPDX-License-Identifier: MIT
#include "crawler/forum_folder.h"

#include <cstring>
#include <string>

#include "crawler/run_recorder.h"
#include "platform/files.h"
#include "platform/path.h"
#include "text/strings.h"

namespace quillstash {
namespace {

// Cuts "index" (and the character before it) off the end of the name, then
// any run of ' ', ':', '-', '_' that is left at its end.
void dropIndexWord(std::string& name) {
  if (name.size() >= 5 && startsWithFolded(name.c_str() + name.size() - 5, "index")) {
    name.resize(name.size() >= 6 ? name.size() - 6 : 0);
    while (!name.empty() && std::strchr(" :-_", name.back()) != nullptr) name.pop_back();
  }
}

// Drops "&...;" entities at the start of the name; a numeric one ("&#66;")
// is written as its character instead, unless no name may hold that.
void dropLeadingEntities(std::string& name) {
  std::string decoded;
  std::size_t at = 0;
  while (at < name.size() && name[at] == '&') {
    std::size_t semicolon = name.find(';', at);
    if (semicolon == std::string::npos) break;
    if (name[at + 1] == '#') {
      const char* digits = name.c_str() + at + 2;
      const std::uint32_t code = parseDecimal(digits);
      if (digits == name.c_str() + semicolon && code > 32 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF) &&
          std::strchr("<>*?/\\|:\"", static_cast<int>(code < 0x80 ? code : 'x')) == nullptr) {
        char character[4];
        decoded.append(character, putUtf8(character, code));
      }
    }
    at = semicolon + 1;
  }
  name.replace(0, at, decoded);
}

// Cuts the name at the first " -", " &" or "powered " (not at its start),
// then drops the '-', '&' and ' ' left at its end.
void dropTrailer(std::string& name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    bool dashOrAmpersand = name[i] == ' ' && i + 1 < name.size() && (name[i + 1] == '-' || name[i + 1] == '&');
    bool powered = i > 0 && startsWithFolded(name.c_str() + i, "powered ");
    if (dashOrAmpersand || powered) {
      name.resize(i);
      while (!name.empty() && std::strchr("-& ", name.back()) != nullptr) name.pop_back();
      return;
    }
  }
}

std::string titleName(const char* page, std::uint32_t maxFileNameChars) {
  const char* title = page;
  while (*title != '\0' && !(title[0] == '<' && startsWithFolded(title + 1, "titl"))) ++title;
  if (*title == '\0') return std::string();
  while (*title != '\0' && *title != '>') ++title;
  if (*title == '\0') return std::string();
  ++title;

  char buffer[8192];
  TextWriter out(buffer, sizeof buffer);
  copyLinkText(title, out, maxFileNameChars);
  std::string name(out.view());
  dropIndexWord(name);
  dropLeadingEntities(name);
  dropTrailer(name);
  makePortableName(name);  // also turns "." and ".." into nothing
  if (name == "." || name == "..") name.clear();
  return name;
}

}  // namespace

bool nameForumFolder(const char* page, FixedText<8192>& outputPath, std::uint32_t maxFileNameChars) {
  TextWriter path = outputPath.appender();
  if (path.length() == 0 || !platform::isPathSeparator(path.begin()[path.length() - 1]))
    path.put(platform::kPathSeparator);
  std::size_t folderStart = path.length();

  std::string name = titleName(page, maxFileNameChars);
  if (!name.empty()) {
    path.append(name);
    path.terminate();
    return !path.truncated();
  }
  for (std::uint32_t number = 1; number != 0; ++number) {
    path.rewind(folderStart);
    path.append("Forum_");
    appendDecimal(path, number);
    path.terminate();
    if (path.truncated()) return false;
    if (!platform::pathExists(outputPath.c_str())) return true;
  }
  return false;
}

bool makeForumDirectory(const char* address, CrawlState& state, ActivityLog& log) {
  cleanPathComponent(state.outputPath.data);
  if (state.recorder != nullptr) state.recorder->forumEntered(address, state.outputPath);
  if (platform::createDirectory(state.outputPath.c_str()) == platform::CreateDirectoryResult::kFailed) {
    std::string line = "[ X ] Error creating directory ";
    line += state.outputPath.view();
    line += ": ";
    line += platform::lastErrorText();
    line += "\r\n";
    log.logLine(line);
    ++state.counts.forumPagesFailed;
    return false;
  }
  platform::removePartFiles(state.outputPath.c_str());
  return true;
}

}  // namespace quillstash
