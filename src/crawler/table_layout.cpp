// SPDX-License-Identifier: MIT
#include "crawler/table_layout.h"

#include <cstring>
#include <vector>

#include "text/strings.h"

namespace quillstash {

namespace {

constexpr std::size_t kNoEntry = static_cast<std::size_t>(-1);
constexpr std::size_t kRowReadFactor = 8;
constexpr std::size_t kRowReadAllowance = 1 << 20;

// A '<' immediately followed by `name` (letters in any case).
bool tagStart(const char* p, const char* name) { return p[0] == '<' && startsWithFolded(p + 1, name); }

// Past the next '>' (or at the NUL).
const char* pastTagEnd(const char* p) {
  while (*p != '\0' && *p != '>') ++p;
  return *p == '>' ? p + 1 : p;
}

// For a "<tabl" tag: the start of the table's body when the tag has a blank
// followed by "width=", else nullptr. The body begins after the attribute's
// value; the rest of the tag is read as plain text.
const char* widthBody(const char* tag) {
  for (const char* p = tag; *p != '\0' && *p != '>'; ++p) {
    if (*p != ' ' || !startsWithFolded(p + 1, "width=")) continue;
    const char* v = p + 7;
    if (*v == '"' || *v == '\'') {
      const char quote = *v++;
      while (*v != '\0' && *v != quote) ++v;
      return *v == quote ? v + 1 : v;
    }
    while (*v != '\0' && *v != ' ' && *v != '>' && *v != '\t' && *v != '\r' && *v != '\n') ++v;
    return v;
  }
  return nullptr;
}

// The nesting of tables is followed with an explicit stack: one frame per
// table start being handled. A frame first looks for the recorded table (a
// table start with a width attribute); in the body of that table, a nested
// table start opens a new frame and its closing tag closes the frame.
struct Frame {
  bool inBody = false;
  std::size_t entry = kNoEntry;  // the table's entry; kNoEntry past the last one
  std::uint32_t cells = 0;       // cells of the current row
};

// Runs over one table (and the tables nested in it) from the "<tabl" at `p`,
// calling into `visit` for what the survey and the walk need; returns where it
// stopped. Survey and walk share this so that each table meets its own entry.
template <class Visitor>
char* traverseTable(char* p, std::vector<Frame>& frames, Visitor& visit) {
  frames.clear();
  frames.push_back(Frame{});
  while (!frames.empty()) {
    if (*p == '\0') return p;
    Frame& frame = frames.back();
    if (tagStart(p, "tabl")) {
      if (frame.inBody) {
        frames.push_back(Frame{});  // the nested table is handled by its own frame
        continue;
      }
      if (const char* body = widthBody(p)) {
        frame.inBody = true;
        frame.entry = visit.openTable(static_cast<std::uint32_t>(frames.size()));
        p += body - p;
        continue;
      }
      ++p;
      continue;
    }
    if (p[0] == '<' && p[1] == '/' && startsWithFolded(p + 2, "tabl")) {
      p += pastTagEnd(p) - p;
      frames.pop_back();
      continue;
    }
    if (frame.inBody && frame.entry != kNoEntry) {
      if (closesTag(p, "tr")) {
        visit.rowEnd(frame);
      } else if (tagStart(p, "tr")) {
        visit.rowStart(frame, p);
      } else if (tagStart(p, "td")) {
        ++frame.cells;
      }
    }
    ++p;
  }
  return p;
}

// Runs `traverseTable` at every top-level table start of the page.
template <class Visitor>
void traversePage(char* page, Visitor& visit) {
  std::vector<Frame> frames;
  char* p = page;
  while (*p != '\0') {
    if (tagStart(p, "tabl")) {
      p = traverseTable(p, frames, visit);
    } else {
      ++p;
    }
  }
}

struct Survey {
  TableSurvey& record;
  std::size_t next = 0;

  std::size_t openTable(std::uint32_t depth) {
    if (next >= kMaxTables) return kNoEntry;
    TableStat& stat = record.tableStats[next];
    stat = TableStat{};
    stat.depth = depth;
    return next++;
  }
  void rowStart(Frame& frame, char*) {
    frame.cells = 0;
    ++record.tableStats[frame.entry].rowCount;
  }
  void rowEnd(Frame& frame) {
    TableStat& stat = record.tableStats[frame.entry];
    if (frame.cells > stat.maxCells) stat.maxCells = frame.cells;
    frame.cells = 0;
  }
};

struct Walk {
  TableSurvey& record;
  const RowRoutine& routine;
  char* page;
  ReadBudget budget;
  LinkEnds linkEnds;
  std::size_t next = 0;

  std::size_t openTable(std::uint32_t) { return next < kMaxTables ? next++ : kNoEntry; }
  void rowStart(Frame& frame, char* p) {
    if (record.tableStats[frame.entry].maxCells == 0 || budget.spent()) return;
    TableRow row{page, p + 1, record.columnClasses, budget, linkEnds};
    routine(row);
  }
  void rowEnd(Frame&) {}
};

void walkTables(char* page, TableSurvey& record, const RowRoutine& routine) {
  blankScripts(page);
  Walk walk{record, routine, page, ReadBudget(kRowReadFactor * std::strlen(page) + kRowReadAllowance), LinkEnds{}, 0};
  traversePage(page, walk);
}

void setLowByte(ColumnClass& entry, std::uint8_t value) {
  entry = static_cast<ColumnClass>((static_cast<std::uint32_t>(entry) & ~0xFFu) | value);
}

constexpr KeywordEntry kForumRowKeywords[] = {
    {"user", 4},  {"unread", 4}, {"sort=", 4}, {"member", 4}, {"thread", 3},
    {"forum", 2}, {"board", 2},  {"post", 3},  {"topic", 3},  {"profile", 4},
};

constexpr KeywordEntry kTopicRowKeywords[] = {
    {"user", 4},      {"unread", 4}, {"sort=", 4}, {"member", 4}, {"thread", 3}, {"viewtopic", 3},
    {"showtopic", 3}, {"forum", 2},  {"board", 2}, {"post", 3},   {"topic", 3},  {"profile", 4},
};

template <std::size_t N>
std::uint8_t keywordClass(const char* value, const KeywordEntry (&table)[N]) {
  for (const KeywordEntry& entry : table) {
    if (std::uint8_t cls = linkContains(value, entry); cls != 0) return cls;
  }
  return 0;
}

// The scan shared by the two classifiers; `topic` selects the topic rules.
void classifyRow(TableRow& row, const CrawlState& state, bool topic) {
  const HeaderCellEnd th = topic ? HeaderCellEnd::kEndsRow : HeaderCellEnd::kNextColumn;
  scanRowCells(row, th, [&](const char* tag, std::size_t column) {
    if (column >= kMaxColumns || classLowByte(row.classes, column) >= 2) return true;
    if (tagHasColspan(tag, row.budget)) {
      if (topic) {
        // Hide the row from later walks and disable the first column.
        for (char* p = row.page + (tag - row.page); p >= row.page; --p) {
          if (p[0] == '<' && (p[1] | 0x20) == 't' && (p[2] | 0x20) == 'r') {
            p[0] = '_';
            p[1] = '_';
            break;
          }
        }
        row.classes[0] = kColumnDisabled;
      }
      return false;
    }
    const char* aTag = cellLink(tag, row.budget);
    if (aTag == nullptr) return true;
    ColumnClass& entry = row.classes[column];
    if (const char* value = cellHref(aTag, row.budget); value != nullptr && !row.linkEnds.tooLong(value)) {
      std::uint8_t cls = topic ? keywordClass(value, kTopicRowKeywords) : keywordClass(value, kForumRowKeywords);
      if (cls != 0) {
        setLowByte(entry, cls);
      } else if (topic) {
        if (!state.forumShape.empty() && matchesShape(value, state.forumShape.c_str())) {
          setLowByte(entry, kColumnForumShapedLink);
        }
        if (!state.topicShape.empty() && matchesShape(value, state.topicShape.c_str())) {
          setLowByte(entry, kColumnTopicLink);
        }
      } else if (!state.forumShape.empty() && matchesShape(value, state.forumShape.c_str())) {
        setLowByte(entry, kColumnForumLink);
      }
    }
    if ((static_cast<std::uint32_t>(entry) & 0xFF) == 0) setLowByte(entry, kColumnUnknownLink);
    return true;
  });
}

}  // namespace

bool closesTag(const char* p, const char* name) { return p[0] == '<' && p[1] == '/' && startsWithFolded(p + 2, name); }

void blankScripts(char* page) {
  char* p = page;
  while (*p != '\0') {
    if (!tagStart(p, "scri")) {
      ++p;
      continue;
    }
    while (*p != '\0' && !(p[0] == '<' && p[1] == '/' && startsWithFolded(p + 2, "scri"))) *p++ = ' ';
    while (*p != '\0' && *p != '>') *p++ = ' ';
    if (*p == '>') *p++ = ' ';
  }
}

void surveyTables(char* page, TableSurvey& record) {
  record.tableStats.fill(TableStat{});
  blankScripts(page);
  Survey survey{record};
  traversePage(page, survey);
}

std::uint32_t layoutScore(const TableSurvey& record, LayoutKey key) {
  std::uint32_t score = 0;
  for (const TableStat& stat : record.tableStats) {
    if (stat.rowCount == 0) break;
    if (stat.maxCells == key.cells && stat.depth == key.depth) score += stat.rowCount;
  }
  return score;
}

LayoutKey chooseLayout(const TableSurvey& record) {
  LayoutKey best;
  std::uint32_t bestScore = 0;
  for (std::uint32_t cells = 3; cells <= 19; ++cells) {
    for (std::uint32_t depth = 0; depth <= 4; ++depth) {
      std::uint32_t score = layoutScore(record, LayoutKey{cells, depth});
      if (score > bestScore) {
        bestScore = score;
        best = LayoutKey{cells, depth};
      }
    }
  }
  return best;
}

void keepLayout(TableSurvey& record, LayoutKey key) {
  for (TableStat& stat : record.tableStats) {
    if (stat.rowCount == 0) break;
    if (stat.maxCells != key.cells || stat.depth != key.depth) stat.maxCells = 0;
  }
}

void chooseIndexLayout(char* page, TableSurvey& record, CrawlState& state) {
  surveyTables(page, record);
  state.indexLayout = chooseLayout(record);
  keepLayout(record, state.indexLayout);
}

void chooseTopicLayout(char* page, TableSurvey& record, CrawlState& state) {
  surveyTables(page, record);
  if (!state.topicLayoutConfirmed.isSet()) {
    LayoutKey key = chooseLayout(record);
    if (key == state.topicLayoutCandidate) {
      state.topicLayoutConfirmed = key;
    } else {
      state.topicLayoutCandidate = key;
    }
  }
  keepLayout(record, state.topicLayoutConfirmed.isSet() ? state.topicLayoutConfirmed : state.topicLayoutCandidate);
}

void classifyColumns(char* page, TableSurvey& record, const RowRoutine& classify) {
  record.columnClasses.fill(kColumnNoLink);
  walkTables(page, record, classify);
}

void walkRows(char* page, TableSurvey& record, const RowRoutine& handle) { walkTables(page, record, handle); }

void classifyForumRow(TableRow& row, const CrawlState& state) { classifyRow(row, state, false); }

void classifyTopicRow(TableRow& row, const CrawlState& state) { classifyRow(row, state, true); }

void settleForumColumns(TableSurvey& record) {
  ColumnClasses& classes = record.columnClasses;
  for (ColumnClass& entry : classes) {
    if (entry == kColumnTopicLink || entry == kColumnOtherLink || entry == kColumnForumShapedLink) {
      entry = kColumnNoLink;
    } else if (entry == kColumnForumLink) {
      for (ColumnClass& other : classes) {
        if (other != kColumnForumLink) other = kColumnNoLink;
      }
      return;
    }
  }
}

void settleTopicColumns(TableSurvey& record) {
  ColumnClasses& classes = record.columnClasses;
  for (ColumnClass& entry : classes) {
    if (entry == kColumnOtherLink || entry == kColumnForumShapedLink) {
      entry = kColumnNoLink;
    } else if (entry == kColumnTopicLink) {
      for (ColumnClass& other : classes) {
        if (&other != &entry) other = kColumnNoLink;
      }
      return;
    }
  }
}

const char* cellLink(const char* tdTag, ReadBudget& budget) {
  const char* p = tdTag;
  while (*p != '\0' && *p != '>' && budget.spend()) ++p;
  if (*p != '>') return nullptr;
  ++p;
  while (budget.spend()) {
    switch (*p) {
      case ' ':
      case '\t':
      case '\r':
      case '\n': ++p; break;
      case '&':
        while (*p != '\0' && *p != ';' && *p != '<' && budget.spend()) ++p;
        if (*p == ';') ++p;
        break;
      case '<':
        if (closesTag(p, "tr") || closesTag(p, "td")) return nullptr;
        if ((p[1] | 0x20) == 'a') return p;
        while (*p != '\0' && *p != '>' && budget.spend()) ++p;
        if (*p != '>') return nullptr;
        ++p;
        break;
      default: return nullptr;  // text (or the end of the page) comes first
    }
  }
  return nullptr;
}

const char* cellHref(const char* aTag, ReadBudget& budget) {
  for (const char* p = aTag; *p != '\0' && *p != '>' && budget.spend(); ++p) {
    if (startsWithFolded(p, " hre")) return skipHrefLead(p);
  }
  return nullptr;
}

bool tagHasColspan(const char* tag, ReadBudget& budget) {
  for (const char* p = tag; *p != '\0' && *p != '>' && budget.spend(); ++p) {
    if (*p == ' ' && startsWithFolded(p + 1, "colspan")) return true;
  }
  return false;
}

std::uint8_t classLowByte(const ColumnClasses& classes, std::size_t column) {
  return column < classes.size() ? static_cast<std::uint8_t>(static_cast<std::uint32_t>(classes[column]) & 0xFF) : 0;
}

std::uint16_t classLow16(const ColumnClasses& classes, std::size_t column) {
  return column < classes.size() ? static_cast<std::uint16_t>(static_cast<std::uint32_t>(classes[column]) & 0xFFFF) : 0;
}

}  // namespace quillstash
