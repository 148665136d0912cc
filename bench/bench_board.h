// SPDX-License-Identifier: MIT
#pragma once

// The shape of the benchmark's generated board, shared by the static-file
// generator and the refresh measurement.

#include <string>

#include "boards.h"

namespace quillstash::bench {

// Ten top-level forums in two categories, each with two sub-forums: thirty
// forums of about a hundred topics each, 25 topics to a forum page, 15 posts
// to a topic page and three pages to a topic. `oneForum` puts every topic,
// each of one page, in a single forum.
inline demo::BoardShape benchBoardShape(int topicCount, bool oneForum) {
  demo::BoardShape shape;
  shape.title = "Harbour Watch";
  shape.categories = {"On Shore", "At Sea"};
  shape.showcase = false;
  shape.topicsPerPage = 25;
  shape.postsPerPage = 15;
  shape.postPadding = 2100;
  shape.pageLinkWindow = 3;  // a forum of 100,000 topics has 4,000 pages
  int id = 1;
  if (oneForum) {
    shape.categories = {"On Shore"};
    shape.forums.push_back({id++, 0, 1, "Station 1", "Logs and talk", false});
  }
  for (int top = 0; top < (oneForum ? 0 : 10); ++top) {
    int parent = id++;
    shape.forums.push_back({parent, 0, top < 5 ? 1 : 2, "Station " + std::to_string(top + 1), "Logs and talk", false});
    for (int sub = 0; sub < 2; ++sub) {
      shape.forums.push_back({id++, parent, top < 5 ? 1 : 2,
                              "Station " + std::to_string(top + 1) + " watch " + std::to_string(sub + 1),
                              "Watch reports", false});
    }
  }
  for (int t = 0; t < topicCount; ++t) {
    shape.topics.push_back({1000 + t, 1 + t % static_cast<int>(shape.forums.size()),
                            "Watch report number " + std::to_string(t + 1), oneForum ? 5 : 45});
  }
  return shape;
}

}  // namespace quillstash::bench
