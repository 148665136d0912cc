// SPDX-License-Identifier: MIT
#include "crawler/engine_choice.h"

#include "html/tree.h"

#include <fstream>
#include <memory>

namespace quillstash {
namespace {

// Profile files larger than this are refused.
constexpr std::size_t kMaxProfileBytes = 1 << 20;

bool isSet(bool use, const SettingText& text) { return use && !text.empty(); }

}  // namespace

bool loadProfiles(const Settings& settings, std::vector<EngineProfile>& profiles, std::string& error) {
  profiles.clear();
  if (!settings.profileFile.empty()) {
    std::ifstream file(settings.profileFile.c_str(), std::ios::binary);
    if (!file) {
      error = std::string("cannot read the profile file ") + settings.profileFile.c_str();
      return false;
    }
    std::string text(kMaxProfileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxProfileBytes) {
      error = std::string("the profile file is too large: ") + settings.profileFile.c_str();
      return false;
    }
    std::string fault;
    std::optional<EngineProfile> profile = parseProfile(text, fault);
    if (!profile) {
      error = std::string(settings.profileFile.c_str()) + ", " + fault;
      return false;
    }
    profiles.push_back(std::move(*profile));
  }
  for (EngineProfile& profile : builtInProfiles()) {
    if (findProfile(profile.name, profiles) == nullptr) profiles.push_back(std::move(profile));
  }
  return true;
}

bool userPatternsInCharge(const Settings& s) {
  return isSet(s.useForumLinkPrefix, s.forumLinkPrefix) || isSet(s.useForumLinkPattern, s.forumLinkPattern) ||
         isSet(s.useForumLinkSuffix, s.forumLinkSuffix) || isSet(s.useTopicLinkPrefix, s.topicLinkPrefix) ||
         isSet(s.useTopicLinkPattern, s.topicLinkPattern) || isSet(s.useTopicLinkSuffix, s.topicLinkSuffix) ||
         isSet(s.useAuthorPrefix, s.authorPrefix);
}

std::string engineSettingsProblem(const Settings& settings) {
  std::vector<EngineProfile> profiles;
  std::string error;
  if (!loadProfiles(settings, profiles, error)) return "the engine profile cannot be used: " + error;
  std::string_view name = settings.engine.view();
  if (name.empty() || name == "auto" || name == kClassicEngine || findProfile(name, profiles) != nullptr) return {};
  return "unknown forum engine " + std::string(name) + " (--list-engines lists them)";
}

bool chooseEngine(const Settings& settings, const char* index, EngineChoice& choice, ActivityLog& log) {
  choice.profile = nullptr;
  std::string error;
  if (!loadProfiles(settings, choice.profiles, error)) {
    log.logLine("[ X ] Error in the engine profile: " + error + "\r\n");
    return false;
  }
  std::string_view name = settings.engine.view();
  if (name == kClassicEngine) return true;
  if (name.empty() || name == "auto") {
    if (userPatternsInCharge(settings)) return true;
    std::unique_ptr<html::Document> tree = html::Document::parse(index);
    choice.profile = detectProfile(*tree, choice.profiles);
  } else {
    choice.profile = findProfile(name, choice.profiles);
    if (choice.profile == nullptr) {
      log.logLine("[ X ] Unknown forum engine " + std::string(name) + "\r\n");
      return false;
    }
  }
  if (choice.profile != nullptr) log.logLine("* Forum engine: " + choice.profile->title + "\r\n");
  return true;
}

}  // namespace quillstash
