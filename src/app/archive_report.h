// SPDX-License-Identifier: MIT
#pragma once

// The completeness report of a run (report.json and report.html at the
// archive's root) and the check of an archive against its manifest.

#include <cstdint>
#include <string>
#include <vector>

namespace quillstash {

// Paths inside the archive, as the manifest and the report keep them, have
// '/' between folders on every system, so that an archive made on one system
// is refreshed and checked on another. These convert from and to the paths
// of this system.
std::string storedPath(std::string path);
std::string nativePath(std::string path);

struct ReportItem {
  std::string address;
  std::string file;  // relative to the archive's root; empty when none was written
  std::string reason;
};

struct ForumReport {
  std::string folder;                // relative to the archive's root
  std::uint32_t listed = 0;          // topics its pages listed in this run
  std::uint32_t written = 0;         // topics fetched and saved whole in this run
  std::uint32_t kept = 0;            // topics whose saved file was current
  std::vector<ReportItem> problems;  // topics failed or incomplete
};

struct RunReport {
  std::string startAddress;
  bool finished = false;  // false when the run was stopped
  double seconds = 0;
  std::uint64_t requests = 0;  // requests the run sent
  std::vector<ForumReport> forums;
};

std::string reportJson(const RunReport& report);
std::string reportHtml(const RunReport& report);

// Writes report.json and report.html into `archiveRoot`; false when either
// could not be written.
bool writeReport(const std::string& archiveRoot, const RunReport& report);

struct CheckResult {
  bool manifestFound = false;
  std::string error;                 // why the manifest could not be read
  std::uint32_t checked = 0;         // files the manifest records
  std::vector<std::string> missing;  // relative paths recorded but absent
  std::vector<std::string> changed;  // relative paths whose size differs
  std::vector<std::string> unsaved;  // topics recorded as failed, incomplete or never written
};

// Reads the manifest of the archive at `archiveRoot` and compares it with the
// files there. Fetches nothing.
CheckResult checkArchive(const std::string& archiveRoot);

}  // namespace quillstash

namespace quillstash {

class Manifest;

// Writes index.html into the archive's root and into every forum folder the
// manifest records: the sub-forums and the saved topics, linked relatively,
// so the archive opens in a browser at one page. A page whose bytes would not
// change is left alone. False when a page could not be written.
bool writeIndexPages(const std::string& archiveRoot, const Manifest& manifest);

}  // namespace quillstash
