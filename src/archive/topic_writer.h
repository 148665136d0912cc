// SPDX-License-Identifier: MIT
#pragma once

// Turns one forum topic, with all its pages, into one HTML file: a head with
// the title of the topic's first page and an Author | Message table with one
// row per post, followed by the saved attachments and images beside it.

#include <cstdint>

#include "core/activity_log.h"
#include "core/run_outcome.h"
#include "core/settings.h"
#include "core/version.h"
#include "archive/output_buffer.h"
#include "archive/page_fetcher.h"
#include "engines/profile.h"
#include "archive/saved_files.h"
#include "text/link_compare.h"
#include "text/page_block.h"
#include "text/text_writer.h"

namespace quillstash {

// Finds the link to the next page in a page's navigation text: returns the
// '<' of that link's "<a" tag, or the end of the text.
using NextPageFinder = const char* (*)(const char* page);

// The crawl state and services one topic is written with. Everything is
// owned by the download job; writeTopic runs on its thread only.
struct TopicWriterContext {
  const Settings& settings;  // the snapshot taken for this topic
  ActivityLog& log;
  PageFetcher& fetcher;
  // The address the user typed: next-page links are resolved against it and
  // it gives the forum's host.
  const JobContext& currentJob;
  // Topic pages followed through the user's next-page pattern are added here.
  LinkList& visitedTopics;
  // Attachments, images and thumbnail pages taken in this run.
  LinkList& downloadedFiles;
  // This topic's number; names the files saved for it.
  std::uint32_t itemNumber;
  // The file to write: folder, separator, number, blank, name, ".html". Its
  // last component is cleaned in place before the file is written.
  FixedText<8192>& outputPath;
  // The composed page; cleared at the start of each topic.
  OutputBuffer& output;
  // The built-in next-page finder used when no user pattern is set; without
  // one such topics end after their first page.
  NextPageFinder findNextPageLink = nullptr;
  // The run's counts: the topic's outcome and its saved and failed files are
  // added here (none when null).
  RunCounts* counts = nullptr;
  // The engine profile of the run, or null for the table-based path: with a
  // profile the posts, their authors and dates and the next page are found
  // by its queries on the page's tree.
  const EngineProfile* engine = nullptr;
  // The files earlier runs saved for this topic, linked again without a
  // fetch while they are present (none when null).
  SavedFiles* savedFiles = nullptr;
  // The block each page of the topic is read into, kept from topic to topic
  // so that its memory is not given back and zero-filled again for each
  // (a block of the topic's own when null).
  PageBlock* pageBlock = nullptr;
  // Set by writeTopic: the pages and posts the written file holds.
  std::uint32_t pagesWritten = 0;
  std::uint32_t postsWritten = 0;
};

inline constexpr const char* kTopicHead =
    "<HTML><HEAD><META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">"
    "<META name=\"GENERATOR\" content=\"Quillstash " QUILLSTASH_VERSION "\"><TITLE>";
inline constexpr const char* kTopicTableHead =
    "</TITLE></HEAD><BODY><TABLE width=\"100%\" border=\"1\"><TR><TH width=\"20%\">Author</TH><TH>Message</TH></TR>";
inline constexpr const char* kTopicFoot = "</TABLE></BODY></HTML>";

// Fetches every page of the topic whose first page is topic.forumAddress,
// composes the topic file and writes it in one piece beside its final name,
// then renames it, so no partial file is ever left under that name. Logs
// "* Saved: " + path, or "[ X ] Error creating file " + path when the file
// could not be written, and returns whether it was saved. A topic whose first
// page cannot be fetched is not written ("[ X ] Topic not saved, ..."); one
// whose later page cannot be fetched is written with the pages it has and
// logged as incomplete. Once a stop is requested nothing is written or logged
// as saved. Each further page's address is left in topic.forumAddress. No
// page address is fetched twice, and a page repeating the posts of an earlier
// page of the topic ends it, so navigation that leads back to an earlier page
// (under any spelling) ends the topic.
bool writeTopic(JobContext& topic, TopicWriterContext& context);

// The rules writeTopic follows a topic's pages by, for reading them ahead.
struct TopicPageRules {
  const Settings& settings;
  const JobContext& currentJob;  // the address the user typed
  NextPageFinder findNextPageLink = nullptr;
  const EngineProfile* engine = nullptr;
};

// The address of the page writeTopic would fetch after `page` (fetched from
// `pageAddress`) in the topic whose first page is `firstPage` (before the
// link parameter), or empty. `visited` plays the part of the run's topic
// list for the user's next-page pattern. The link parameter is not applied.
// Only a guess for fetching ahead: writeTopic also ends a topic on a page
// that repeats an earlier one, and its topic list may hold more.
std::string guessNextTopicPage(const char* page, std::string_view pageAddress, std::string_view firstPage,
                               const TopicPageRules& rules, LinkList& visited);

// Writes into topic.forumAddress the address of the next-page link at `link`
// resolved against `currentJob` (whose host is always kept) with session ids
// dropped; the link ends at NUL, a quote, '>' or '#'. False when the address
// does not fit.
bool resolveNextPageLink(const char* link, const JobContext& currentJob, JobContext& topic);

}  // namespace quillstash
