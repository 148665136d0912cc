// SPDX-License-Identifier: MIT
#include "cli/options.h"

#include <functional>
#include <limits>
#include <map>
#include <optional>

#include "app/saving_options_model.h"
#include "crawler/engine_choice.h"
#include "platform/files.h"
#include "platform/path.h"
#include "text/address.h"

namespace quillstash::cli {
namespace {

// An unsigned decimal that fits 32 bits, or nothing.
std::optional<std::uint32_t> readNumber(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// A byte count with an optional K, M or G suffix (powers of 1024), from 1
// byte to 1 TiB, or nothing.
std::optional<std::uint64_t> readByteCount(std::string text) {
  std::uint64_t unit = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K':
      case 'k': unit = std::uint64_t{1} << 10; break;
      case 'M':
      case 'm': unit = std::uint64_t{1} << 20; break;
      case 'G':
      case 'g': unit = std::uint64_t{1} << 30; break;
      default: break;
    }
    if (unit != 1) text.pop_back();
  }
  std::optional<std::uint32_t> count = readNumber(text);
  if (!count || *count == 0) return std::nullopt;
  const std::uint64_t bytes = *count * unit;
  if (bytes > (std::uint64_t{1} << 40)) return std::nullopt;
  return bytes;
}

struct TextOption {
  SettingText Settings::*text;
  bool Settings::*flag;
};

const std::map<std::string, TextOption>& textOptions() {
  static const std::map<std::string, TextOption> options = {
      {"--forum-link-prefix", {&Settings::forumLinkPrefix, &Settings::useForumLinkPrefix}},
      {"--forum-link-pattern", {&Settings::forumLinkPattern, &Settings::useForumLinkPattern}},
      {"--forum-link-suffix", {&Settings::forumLinkSuffix, &Settings::useForumLinkSuffix}},
      {"--forum-next-page", {&Settings::forumNextPagePattern, &Settings::useForumNextPagePattern}},
      {"--topic-link-prefix", {&Settings::topicLinkPrefix, &Settings::useTopicLinkPrefix}},
      {"--topic-link-pattern", {&Settings::topicLinkPattern, &Settings::useTopicLinkPattern}},
      {"--topic-link-suffix", {&Settings::topicLinkSuffix, &Settings::useTopicLinkSuffix}},
      {"--topic-next-page", {&Settings::topicNextPagePattern, &Settings::useTopicNextPagePattern}},
      {"--author-prefix", {&Settings::authorPrefix, &Settings::useAuthorPrefix}},
      {"--author-suffix", {&Settings::authorSuffix, &Settings::useAuthorSuffix}},
      {"--message-prefix", {&Settings::messagePrefix, &Settings::useMessagePrefix}},
      {"--message-suffix", {&Settings::messageSuffix, &Settings::useMessageSuffix}},
      {"--link-parameter", {&Settings::linkParameter, &Settings::useLinkParameter}},
      {"--proxy", {&Settings::proxyAddress, &Settings::useProxy}},
  };
  return options;
}

bool parseSkipList(const std::string& text, std::vector<std::uint32_t>& into) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    std::optional<std::uint32_t> number = readNumber(text.substr(start, comma - start));
    if (!number || *number < 1 || *number > kForumSelectionSize) return false;
    into.push_back(*number);
    start = comma + 1;
  }
  return true;
}

}  // namespace

std::string usageText() {
  return "Usage: quillstash-cli [options] FORUM_ADDRESS [OUTPUT_DIRECTORY]\n"
         "       quillstash-cli --check ARCHIVE\n"
         "Downloads a whole forum into OUTPUT_DIRECTORY (default: the current directory).\n"
         "Standard output carries the activity log. Exit status: 0 when everything was saved,\n"
         "1 when the download did not finish (stopped or interrupted, index page not fetched,\n"
         "folder not made), 2 for a usage error, 3 when it finished but some items failed.\n"
         "FORUM_ADDRESS is an http:// address (http:// is assumed when no scheme is given).\n"
         "\n"
         "  -u, --user NAME              log in with this user name first\n"
         "  -p, --password PASS          log in with this password first\n"
         "      --proxy HOST[:PORT]      fetch forum pages through an HTTP proxy\n"
         "      --proxy-everything       also fetch attachments and images through the proxy\n"
         "      --ca-file PATH           also trust the CA certificates in PATH (PEM) for https\n"
         "      --insecure               do not check https certificates (warned in every run)\n"
         "      --user-agent TEXT        the User-Agent line of every request\n"
         "      --http1.0                send HTTP/1.0 requests, a new connection for each\n"
         "      --connections N          fetch the topics of a forum page over N connections side by side\n"
         "                               (default 2, at most 8; one while --delay is set)\n"
         "      --delay SECONDS          wait after each forum page fetched\n"
         "      --connect-retries N      retries after a failed connect (default 2, at most 100)\n"
         "      --connect-retry-delay MS wait before a connect retry (default 100, 0 = none)\n"
         "      --receive-retries N      retries after a failed or timed-out receive (default 10, at most 100)\n"
         "      --receive-retry-delay MS wait before a receive retry (default 100, 0 = none)\n"
         "      --receive-timeout SECONDS  wait for data before each read (default 120)\n"
         "      --connect-timeout SECONDS  wait for a connection (default 30)\n"
         "      --min-rate-time SECONDS  fail a fetch that stays under 1 KiB/s this long (default 60)\n"
         "      --fetch-deadline SECONDS give up an address after this long, all its retries\n"
         "                               together (default 600)\n"
         "      --max-file-size BYTES    largest attachment or image saved; K, M or G suffixes\n"
         "                               count 1024s (default 1G, at most 1024G)\n"
         "      --forum-link-prefix T    text before each forum link\n"
         "      --forum-link-pattern P   wildcard pattern every forum link matches\n"
         "      --forum-link-suffix T    text always found after a forum link\n"
         "      --forum-next-page P      wildcard pattern of a forum's next-page links\n"
         "      --topic-link-prefix T    text before each topic link\n"
         "      --topic-link-pattern P   wildcard pattern every topic link matches\n"
         "      --topic-link-suffix T    text always found after a topic link\n"
         "      --topic-next-page P      wildcard pattern of a topic's next-page links\n"
         "      --author-prefix P        pattern before each post's author\n"
         "      --author-suffix P        pattern after each post's author\n"
         "      --message-prefix P       pattern before each post's message\n"
         "      --message-suffix P       pattern after each post's message\n"
         "      --link-parameter NAME=VALUE  set this parameter in every forum and topic link\n"
         "      --max-name-chars N       characters of a title or link text in a name (8 to 200, default 50)\n"
         "      --no-attachments         do not save attachments\n"
         "      --no-external-images     do not save images from other hosts\n"
         "      --link-all-images        show unsaved images from other hosts by their address\n"
         "      --skip N[,N...]          do not download the forums numbered N on the index page\n"
         "      --full                   fetch every topic again (a folder already holding the\n"
         "                               board's archive keeps its names either way)\n"
         "      --retry-failed           fetch only the topics that failed or were incomplete\n"
         "      --no-index-pages         do not write the archive's index.html pages\n"
         "      --check ARCHIVE          compare the archive's files with its manifest, fetching\n"
         "                               nothing (exit status 3 when files are missing or changed)\n"
         "      --list-forums            print the forums that would be downloaded and exit\n"
         "      --engine NAME            read the board as this forum engine: auto (default,\n"
         "                               recognised from the index page), classic, or a name\n"
         "                               that --list-engines prints\n"
         "      --profile FILE           teach the program an engine with a profile file\n"
         "      --list-engines           print the engines the program knows and exit\n"
         "      --log-file PATH          also append every log line to PATH (its folder must exist)\n"
         "  -h, --help                   show this help\n"
         "      --version                show the version\n"
         "\n"
         "Patterns: ? any character, * a gap, # a number, @ a hexadecimal number,\n"
         "| the closing quote of a link, $ an optional session-id parameter.\n";
}

ParseResult parseArguments(const std::vector<std::string>& arguments) {
  ParseResult result;
  CliOptions& options = result.options;
  loadDefaultSettings(options.settings);
  Settings& settings = options.settings;
  std::vector<std::string> positional;

  auto fail = [&](std::string message) {
    result.ok = false;
    result.error = std::move(message);
    return result;
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> inlineValue;
    if (name.size() > 2 && name.compare(0, 2, "--") == 0) {
      std::size_t equals = name.find('=');
      if (equals != std::string::npos) {
        inlineValue = name.substr(equals + 1);
        name.resize(equals);
      }
    }
    auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return inlineValue;
      if (i + 1 < arguments.size()) return arguments[++i];
      return std::nullopt;
    };
    auto number = [&](std::uint32_t& into) -> bool {
      std::optional<std::string> text = value();
      if (!text) return false;
      std::optional<std::uint32_t> parsed = readNumber(*text);
      if (!parsed) return false;
      into = *parsed;
      return true;
    };
    auto noValue = [&]() { return !inlineValue.has_value(); };

    if (name == "--") {
      for (++i; i < arguments.size(); ++i) positional.push_back(arguments[i]);
      break;
    }
    if (name.empty() || name[0] != '-' || name == "-") {
      positional.push_back(name);
      continue;
    }
    if (name == "-h" || name == "--help") {
      options.showHelp = true;
    } else if (name == "--version" && noValue()) {
      options.showVersion = true;
    } else if (name == "-u" || name == "--user" || name == "-p" || name == "--password") {
      std::optional<std::string> text = value();
      if (!text) return fail("option " + name + " needs a value");
      if (text->size() > SettingText::kMaxLength) return fail("option " + name + " takes at most 254 characters");
      (name == "-u" || name == "--user" ? options.userName : options.password) = *text;
      options.login = true;
    } else if (auto found = textOptions().find(name); found != textOptions().end()) {
      std::optional<std::string> text = value();
      if (!text) return fail("option " + name + " needs a value");
      if (!(settings.*(found->second.text)).assign(*text))
        return fail("option " + name + " takes at most 254 characters");
      settings.*(found->second.flag) = true;
      if (name == "--proxy") {
        if (std::string_view problem = checkProxyAddress(*text); !problem.empty()) return fail(std::string(problem));
      }
    } else if (name == "--user-agent" || name == "--ca-file") {
      std::optional<std::string> text = value();
      if (!text || text->empty()) return fail("option " + name + " needs a value");
      if (!(name == "--user-agent" ? settings.userAgent : settings.caFile).assign(*text)) {
        return fail("option " + name + " takes at most 254 characters");
      }
    } else if (name == "--http1.0" && noValue()) {
      settings.http10 = true;
    } else if (name == "--insecure" && noValue()) {
      settings.skipCertificateCheck = true;
    } else if (name == "--proxy-everything" && noValue()) {
      settings.proxyForumLinksOnly = false;
    } else if (name == "--delay") {
      std::uint32_t seconds = 0;
      if (!number(seconds) || seconds > std::numeric_limits<std::uint32_t>::max() / 1000) {
        return fail("option --delay takes a number of seconds");
      }
      settings.downloadDelayMs = seconds * 1000;
      settings.useDownloadDelay = true;
    } else if (name == "--connections") {
      if (!number(settings.connections) || settings.connections == 0 || settings.connections > kMaxConnections) {
        return fail("option --connections takes a number from 1 to 8");
      }
    } else if (name == "--connect-retries") {
      if (!number(settings.connectRetries) || settings.connectRetries > kMaxRetries) {
        return fail("option --connect-retries takes a number from 0 to 100");
      }
    } else if (name == "--receive-retries") {
      if (!number(settings.receiveRetries) || settings.receiveRetries > kMaxRetries) {
        return fail("option --receive-retries takes a number from 0 to 100");
      }
    } else if (name == "--connect-timeout" || name == "--min-rate-time" || name == "--fetch-deadline") {
      std::uint32_t seconds = 0;
      if (!number(seconds) || seconds == 0 || seconds > 86400) {
        return fail("option " + name + " takes a number of seconds from 1 to 86400");
      }
      (name == "--connect-timeout" ? settings.connectTimeoutS
       : name == "--min-rate-time" ? settings.minRateTimeS
                                   : settings.fetchDeadlineS) = seconds;
    } else if (name == "--max-file-size") {
      std::optional<std::string> text = value();
      std::optional<std::uint64_t> bytes = text ? readByteCount(*text) : std::nullopt;
      if (!bytes) return fail("option --max-file-size takes a size from 1 byte to 1024G (suffixes K, M, G)");
      settings.maxFileBytes = *bytes;
    } else if (name == "--connect-retry-delay") {
      if (!number(settings.connectRetryDelayMs))
        return fail("option --connect-retry-delay takes a number of milliseconds");
      settings.useConnectRetryDelay = settings.connectRetryDelayMs != 0;
    } else if (name == "--receive-retry-delay") {
      if (!number(settings.receiveRetryDelayMs))
        return fail("option --receive-retry-delay takes a number of milliseconds");
      settings.useReceiveRetryDelay = settings.receiveRetryDelayMs != 0;
    } else if (name == "--receive-timeout") {
      std::uint32_t seconds = 0;
      if (!number(seconds) || seconds == 0 || seconds > 86400) {
        return fail("option --receive-timeout takes a number of seconds from 1 to 86400");
      }
      options.receiveTimeout = std::chrono::seconds(seconds);
    } else if (name == "--max-name-chars") {
      // Names of no characters would save nothing; the window takes the same range.
      if (!number(settings.maxFileNameChars) || settings.maxFileNameChars < SavingOptionsModel::kMinChars ||
          settings.maxFileNameChars > SavingOptionsModel::kMaxChars) {
        return fail("option --max-name-chars takes a number from 8 to 200");
      }
    } else if (name == "--no-attachments" && noValue()) {
      settings.saveAttachments = false;
    } else if (name == "--no-external-images" && noValue()) {
      settings.saveExternalImages = false;
    } else if (name == "--link-all-images" && noValue()) {
      settings.linkAllImages = true;
    } else if (name == "--skip") {
      std::optional<std::string> text = value();
      if (!text || !parseSkipList(*text, options.skippedForums)) {
        return fail("option --skip takes forum numbers from 1 to 1024, separated by commas");
      }
    } else if (name == "--engine" || name == "--profile") {
      std::optional<std::string> text = value();
      if (!text || text->empty()) return fail("option " + name + " needs a value");
      if (!(name == "--engine" ? settings.engine : settings.profileFile).assign(*text)) {
        return fail("option " + name + " takes at most 254 characters");
      }
    } else if (name == "--list-engines" && noValue()) {
      options.listEngines = true;
    } else if ((name == "--full" || name == "--retry-failed") && noValue()) {
      RefreshMode mode = name == "--full" ? RefreshMode::kFull : RefreshMode::kRetryFailed;
      if (options.refreshMode != RefreshMode::kRefresh && options.refreshMode != mode) {
        return fail("options --full and --retry-failed exclude each other");
      }
      options.refreshMode = mode;
    } else if (name == "--no-index-pages" && noValue()) {
      options.indexPages = false;
    } else if (name == "--check") {
      std::optional<std::string> text = value();
      if (!text || text->empty()) return fail("option --check needs the archive's folder");
      options.checkArchive = *text;
    } else if (name == "--list-forums" && noValue()) {
      options.listForums = true;
    } else if (name == "--log-file") {
      std::optional<std::string> text = value();
      if (!text || text->empty()) return fail("option --log-file needs a path");
      options.logFile = *text;
      std::size_t slash = text->size();
      while (slash > 0 && !platform::isPathSeparator((*text)[slash - 1])) --slash;
      if (slash > 0) {
        --slash;
        const std::string folder = text->substr(0, slash == 0 ? 1 : slash);
        if (!platform::pathExists(folder.c_str())) return fail("the folder of the log file does not exist: " + folder);
      }
    } else {
      return fail("unknown option " + name);
    }
  }

  if (options.showHelp || options.showVersion) {
    result.ok = true;
    return result;
  }
  // An engine the program cannot use is a usage error before anything is
  // fetched or made.
  if (std::string problem = engineSettingsProblem(settings); !problem.empty()) return fail(problem);
  if (options.listEngines || (!options.checkArchive.empty() && positional.empty())) {
    result.ok = true;
    return result;
  }
  if (positional.empty()) return fail("missing forum address");
  if (positional.size() > 2) return fail("too many arguments: " + positional[2]);
  options.forumAddress = positional[0];
  if (options.forumAddress.empty()) return fail("empty forum address");
  if (options.forumAddress.size() > 8191) return fail("forum address longer than 8191 characters");
  if (std::string_view problem = checkForumAddress(options.forumAddress); !problem.empty()) {
    return fail(std::string(problem));
  }
  if (positional.size() == 2) {
    options.outputDirectory = positional[1];
    if (options.outputDirectory.empty()) return fail("empty output directory");
    if (options.outputDirectory.size() > 8191) return fail("output directory longer than 8191 characters");
  }
  result.ok = true;
  return result;
}

}  // namespace quillstash::cli
