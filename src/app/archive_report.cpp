// SPDX-License-Identifier: MIT
#include "app/archive_report.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <tuple>

#include "archive/manifest.h"
#include "platform/files.h"
#include "platform/path.h"

namespace quillstash {
namespace {

std::string jsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string htmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

struct Totals {
  std::uint32_t listed = 0, written = 0, kept = 0, problems = 0;
};

Totals totalsOf(const RunReport& report) {
  Totals totals;
  for (const ForumReport& forum : report.forums) {
    totals.listed += forum.listed;
    totals.written += forum.written;
    totals.kept += forum.kept;
    totals.problems += static_cast<std::uint32_t>(forum.problems.size());
  }
  return totals;
}

std::string joinPath(const std::string& root, const std::string& relative) {
  return root + platform::kPathSeparator + nativePath(relative);
}

// A relative link to `path` ('/'-separated): every byte but letters, digits,
// "-._~" and '/' percent-encoded, so names with blanks, '#', '?' or '%' work.
std::string linkTo(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
                 c == '_' || c == '~' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string parentOf(const std::string& folder) {
  std::size_t separator = folder.rfind('/');
  return separator == std::string::npos ? std::string() : folder.substr(0, separator);
}

std::string nameOf(const std::string& folder) {
  std::size_t separator = folder.rfind('/');
  return separator == std::string::npos ? folder : folder.substr(separator + 1);
}

// Writes `bytes` to `path` unless the file already holds exactly them.
bool writeIfChanged(const std::string& path, const std::string& bytes) {
  {
    // Closed before the new page replaces it: Windows refuses to replace an open file.
    std::ifstream in(path, std::ios::binary);
    if (in && std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()) == bytes) return true;
  }
  return platform::writeWholeFile(path.c_str(), bytes.data(), bytes.size());
}

}  // namespace

std::string storedPath(std::string path) {
  if constexpr (platform::kPathSeparator != '/') std::replace(path.begin(), path.end(), platform::kPathSeparator, '/');
  return path;
}

std::string nativePath(std::string path) {
  if constexpr (platform::kPathSeparator != '/') std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
  return path;
}

bool writeIndexPages(const std::string& archiveRoot, const Manifest& manifest) {
  struct Listing {
    std::vector<std::string> forums;  // sub-folder names
    struct Topic {
      std::uint32_t number = 0;
      std::string file;
      std::uint32_t posts = 0;
      std::uint32_t pages = 0;
      bool operator<(const Topic& other) const { return std::tie(number, file) < std::tie(other.number, other.file); }
    };
    std::vector<Topic> topics;
  };
  std::map<std::string, Listing> listings;  // by folder, "" for the root
  listings[""];
  for (const ForumRecord& forum : manifest.forums()) {
    listings[forum.folder];
    listings[parentOf(forum.folder)].forums.push_back(nameOf(forum.folder));
  }
  manifest.forEachTopic([&listings](const TopicRecord& topic) {
    if (topic.fileName.empty() || topic.state == TopicState::kPending) return;
    listings[topic.folder].topics.push_back({topic.number, topic.fileName, topic.posts, topic.pages});
  });
  bool wrote = true;
  for (auto& [folder, listing] : listings) {
    std::sort(listing.forums.begin(), listing.forums.end());
    std::sort(listing.topics.begin(), listing.topics.end());
    std::string title = folder.empty() ? nameOf(storedPath(archiveRoot)) : nameOf(folder);
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>" + htmlText(title) +
                       "</title></head><body>\n<h1>" + htmlText(title) + "</h1>\n";
    if (!folder.empty()) page += "<p><a href=\"../index.html\">Up</a></p>\n";
    if (!listing.forums.empty()) {
      page += "<h2>Forums</h2>\n<ul>\n";
      for (const std::string& name : listing.forums) {
        page += "<li><a href=\"" + htmlText(linkTo(name + "/index.html")) + "\">" + htmlText(name) + "</a></li>\n";
      }
      page += "</ul>\n";
    }
    if (!listing.topics.empty()) {
      page += "<h2>Topics</h2>\n<ul>\n";
      for (const auto& topic : listing.topics) {
        const std::string& file = topic.file;
        std::string shown = file.ends_with(".html") ? file.substr(0, file.size() - 5) : file;
        page += "<li><a href=\"" + htmlText(linkTo(file)) + "\">" + htmlText(shown) + "</a> (" +
                std::to_string(topic.posts) + (topic.posts == 1 ? " post, " : " posts, ") +
                std::to_string(topic.pages) + (topic.pages == 1 ? " page)" : " pages)") + "</li>\n";
      }
      page += "</ul>\n";
    }
    page += "</body></html>\n";
    std::string path =
        folder.empty() ? joinPath(archiveRoot, "index.html") : joinPath(archiveRoot, folder + "/index.html");
    wrote = writeIfChanged(path, page) && wrote;
  }
  return wrote;
}

std::string reportJson(const RunReport& report) {
  Totals totals = totalsOf(report);
  std::string out = "{\n  \"board\": " + jsonText(report.startAddress) +
                    ",\n  \"finished\": " + (report.finished ? "true" : "false") +
                    ",\n  \"seconds\": " + std::to_string(report.seconds) +
                    ",\n  \"requests\": " + std::to_string(report.requests) +
                    ",\n  \"totals\": {\"listed\": " + std::to_string(totals.listed) +
                    ", \"written\": " + std::to_string(totals.written) + ", \"kept\": " + std::to_string(totals.kept) +
                    ", \"problems\": " + std::to_string(totals.problems) + "},\n  \"forums\": [";
  for (std::size_t i = 0; i < report.forums.size(); ++i) {
    const ForumReport& forum = report.forums[i];
    out += i == 0 ? "\n" : ",\n";
    out += "    {\"folder\": " + jsonText(forum.folder) + ", \"listed\": " + std::to_string(forum.listed) +
           ", \"written\": " + std::to_string(forum.written) + ", \"kept\": " + std::to_string(forum.kept) +
           ", \"problems\": [";
    for (std::size_t j = 0; j < forum.problems.size(); ++j) {
      const ReportItem& item = forum.problems[j];
      out += (j == 0 ? "" : ", ");
      out += "{\"address\": " + jsonText(item.address) + ", \"file\": " + jsonText(item.file) +
             ", \"reason\": " + jsonText(item.reason) + "}";
    }
    out += "]}";
  }
  return out + "\n  ]\n}\n";
}

std::string reportHtml(const RunReport& report) {
  Totals totals = totalsOf(report);
  std::string out =
      "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>Archive report</title></head><body>\n"
      "<h1>Archive report</h1>\n<p>Board: " +
      htmlText(report.startAddress) + "<br>Run: " + (report.finished ? "finished" : "stopped before the end") + ", " +
      std::to_string(static_cast<long>(report.seconds)) + " s, " + std::to_string(report.requests) +
      " requests<br>Topics listed: " + std::to_string(totals.listed) + ", written: " + std::to_string(totals.written) +
      ", already current: " + std::to_string(totals.kept) +
      ", failed or incomplete: " + std::to_string(totals.problems) +
      "</p>\n<table "
      "border=\"1\"><tr><th>Forum</th><th>Listed</th><th>Written</th><th>Current</th><th>Problems</th></"
      "tr>\n";
  for (const ForumReport& forum : report.forums) {
    out += "<tr><td>" + htmlText(forum.folder) + "</td><td>" + std::to_string(forum.listed) + "</td><td>" +
           std::to_string(forum.written) + "</td><td>" + std::to_string(forum.kept) + "</td><td>";
    for (const ReportItem& item : forum.problems) {
      out +=
          htmlText(item.reason) + ": <a href=\"" + htmlText(item.address) + "\">" + htmlText(item.address) + "</a><br>";
    }
    out += "</td></tr>\n";
  }
  return out + "</table>\n</body></html>\n";
}

bool writeReport(const std::string& archiveRoot, const RunReport& report) {
  std::string json = reportJson(report);
  std::string html = reportHtml(report);
  bool wroteJson = platform::writeWholeFile(joinPath(archiveRoot, "report.json").c_str(), json.data(), json.size());
  bool wroteHtml = platform::writeWholeFile(joinPath(archiveRoot, "report.html").c_str(), html.data(), html.size());
  return wroteJson && wroteHtml;
}

CheckResult checkArchive(const std::string& archiveRoot) {
  CheckResult result;
  std::unique_ptr<Manifest> manifest = Manifest::openExisting(archiveRoot, result.error);
  if (!manifest) return result;
  result.manifestFound = true;
  std::string previous;
  for (const FileRecord& file : manifest->files()) {
    // An image saved from an image page is on record under both addresses.
    if (file.name == previous) continue;
    previous = file.name;
    ++result.checked;
    std::int64_t size = platform::regularFileSize(joinPath(archiveRoot, file.name).c_str());
    if (size < 0) {
      result.missing.push_back(file.name);
    } else if (static_cast<std::uint64_t>(size) != file.size) {
      result.changed.push_back(file.name);
    }
  }
  manifest->forEachTopic([&result](const TopicRecord& topic) {
    if (topic.state != TopicState::kComplete) result.unsaved.push_back(topic.address);
  });
  return result;
}

}  // namespace quillstash
