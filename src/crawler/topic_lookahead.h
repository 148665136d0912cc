// SPDX-License-Identifier: MIT
#pragma once

// What the crawl tells a download that fetches side by side: the topics a
// forum page is about to hand to the writer, in their order, before the
// first of them is taken, and the forum page it fetches after them when that
// is known, so that their pages can be fetched ahead. The crawl works the
// same without one.

#include <cstddef>
#include <string>
#include <vector>

#include "http/fetch.h"
#include "text/page_block.h"

namespace quillstash {

class TopicLookahead {
 public:
  virtual ~TopicLookahead() = default;
  // Whether the run fetches ahead at all now; the crawl asks before it reads
  // a forum page for upcoming(), which costs a second pass over the page.
  virtual bool fetchesAhead() = 0;
  // The first-page addresses (before the link parameter) of the topics the
  // writer will be given next, replacing any list given before. Topics that
  // the archive keeps as they are, or that the forum already had, are left
  // out. `nextForumPage` is the address (before the link parameter) of the
  // forum page the crawl fetches right after those topics, or empty when
  // that is not certain. An empty list and no forum page end the
  // look-ahead: when it returns, nothing of the earlier list is read or on
  // its way any more (the crawl's engine profile may go), and what was
  // fetched for nothing is in the log. Called on the download thread.
  virtual void upcoming(std::vector<std::string> addresses, std::string nextForumPage) = 0;
  // Fetches a forum page as HttpClient::fetchToMemory does (forumPage set),
  // handing over the page fetched ahead when it is the one announced, and
  // counting the fetch among the run's connections otherwise.
  virtual std::size_t fetchForumPage(JobContext& job, PageBlock& page) = 0;
};

}  // namespace quillstash
