// SPDX-License-Identifier: MIT
// The native Advanced settings dialog, opened from its resource and driven
// from a second thread the way a user would: typing into its fields, ticking
// a box, choosing from a list and pressing Ok.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/advanced_settings_model.h"
#include "win32/dialogs.h"

namespace quillstash::win32ui {
namespace {

using Model = AdvancedSettingsModel;
using Clock = std::chrono::steady_clock;

constexpr auto kBudget = std::chrono::seconds(60);

BOOL CALLBACK collectVisible(HWND window, LPARAM found) {
  if (::IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

// The visible top-level windows of the dialog's thread.
std::vector<HWND> threadWindows(DWORD thread) {
  std::vector<HWND> windows;
  ::EnumThreadWindows(thread, collectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Waits for a window of `thread` that `wanted` accepts; nullptr after the budget.
HWND waitForWindow(DWORD thread, const std::function<bool(HWND)>& wanted) {
  const auto deadline = Clock::now() + kBudget;
  while (Clock::now() < deadline) {
    for (HWND window : threadWindows(thread)) {
      if (wanted(window)) return window;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return nullptr;
}

bool waitUntilGone(HWND window) {
  const auto deadline = Clock::now() + kBudget;
  while (::IsWindow(window)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::wstring textOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Every text shown inside a window (a message box's message included).
std::wstring allTexts(HWND window) {
  std::wstring texts;
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    texts += textOf(child) + L"\n";
  }
  return texts;
}

bool isGroupBox(HWND control) {
  wchar_t name[16] = {};
  ::GetClassNameW(control, name, 16);
  return ::lstrcmpiW(name, L"Button") == 0 && (::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

// Controls that overlap one another, cross a group box's edge or stick out
// of the dialog, each as "id/id" or "id".
std::vector<std::string> layoutFaults(HWND dialog) {
  struct Placed {
    int id;
    RECT rect;
    bool group;
  };
  std::vector<Placed> controls;
  RECT client{};
  ::GetClientRect(dialog, &client);
  ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    Placed placed{::GetDlgCtrlID(child), {}, isGroupBox(child)};
    ::GetWindowRect(child, &placed.rect);
    controls.push_back(placed);
  }
  std::vector<std::string> faults;
  auto name = [](const Placed& control) { return std::to_string(control.id); };
  for (std::size_t i = 0; i < controls.size(); ++i) {
    RECT inside{};
    if (!::IntersectRect(&inside, &controls[i].rect, &client) || !::EqualRect(&inside, &controls[i].rect)) {
      faults.push_back(name(controls[i]));
    }
    for (std::size_t j = i + 1; j < controls.size(); ++j) {
      const Placed& a = controls[i];
      const Placed& b = controls[j];
      RECT common{};
      if (!::IntersectRect(&common, &a.rect, &b.rect)) continue;
      // A group box holds whole controls (and whole smaller groups).
      if (a.group && ::EqualRect(&common, &b.rect)) continue;
      if (b.group && ::EqualRect(&common, &a.rect)) continue;
      faults.push_back(name(a) + "/" + name(b));
    }
  }
  return faults;
}

// What the driving thread saw, checked on the test's thread afterwards.
struct Observed {
  bool dialogShown = false;
  std::vector<int> missingControls;
  std::vector<std::string> layoutFaults;
  LRESULT engineCount = 0;
  LRESULT engineSelected = -1;
  std::wstring refusal;  // the message shown for a connections count of 9
  std::uint32_t connectionsWhileRefused = 0;
  bool openAfterRefusal = false;
  bool closedByOk = false;
};

void click(HWND dialog, int id, WORD notice = BN_CLICKED) {
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, notice), reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

// Plays the user against the dialog on `thread`; closes whatever is left
// open when a step does not happen within the budget.
void drive(DWORD thread, const SettingsStore& store, Observed& seen) {
  HWND dialog = waitForWindow(thread, [](HWND window) { return ::GetWindow(window, GW_OWNER) == nullptr; });
  if (dialog == nullptr) return;
  seen.dialogShown = true;
  auto closeAll = [&] {
    for (HWND window : threadWindows(thread)) {
      if (window != dialog) ::PostMessageW(window, WM_CLOSE, 0, 0);
    }
    ::PostMessageW(dialog, WM_CLOSE, 0, 0);
  };

  std::vector<int> ids = {Model::kEngineCombo, Model::kProfileFileEdit};
  for (const auto& field : Model::textFields()) ids.push_back(field.id);
  for (int id : Model::numberFields()) ids.push_back(id);
  for (const auto& box : Model::checkBoxes()) ids.push_back(box.id);
  for (int id : ids) {
    if (::GetDlgItem(dialog, id) == nullptr) seen.missingControls.push_back(id);
  }
  seen.layoutFaults = layoutFaults(dialog);
  seen.engineCount = ::SendDlgItemMessageW(dialog, Model::kEngineCombo, CB_GETCOUNT, 0, 0);
  seen.engineSelected = ::SendDlgItemMessageW(dialog, Model::kEngineCombo, CB_GETCURSEL, 0, 0);

  // More connections than a download opens: Ok is refused with the range.
  ::SetDlgItemTextW(dialog, Model::kConnectionsEdit, L"9");
  ::SetDlgItemTextW(dialog, Model::kUserAgentEdit, L"Archiver/2.0");
  click(dialog, Model::kOk);
  HWND problem = waitForWindow(thread, [&](HWND window) { return ::GetWindow(window, GW_OWNER) == dialog; });
  if (problem == nullptr) return closeAll();
  seen.refusal = allTexts(problem);
  seen.connectionsWhileRefused = store.snapshot().connections;
  ::PostMessageW(problem, WM_COMMAND, IDOK, 0);
  if (!waitUntilGone(problem)) return closeAll();
  seen.openAfterRefusal = ::IsWindow(dialog) != FALSE;

  ::SetDlgItemTextW(dialog, Model::kConnectionsEdit, L"5");
  ::CheckDlgButton(dialog, Model::kHttp10Box, BST_CHECKED);
  click(dialog, Model::kHttp10Box);
  ::SendDlgItemMessageW(dialog, Model::kEngineCombo, CB_SETCURSEL, 1, 0);
  click(dialog, Model::kEngineCombo, CBN_SELCHANGE);
  click(dialog, Model::kOk);
  seen.closedByOk = waitUntilGone(dialog);
  if (!seen.closedByOk) closeAll();
}

TEST(Win32AdvancedSettings, storesTheNewFieldsOnOkAndRefusesNineConnections) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  SettingsStore store;
  const Settings before = store.snapshot();
  const Model opening(before);

  Observed seen;
  std::thread user(drive, ::GetCurrentThreadId(), std::cref(store), std::ref(seen));
  const bool confirmed = runAdvancedSettings(nullptr, store);
  user.join();

  ASSERT_TRUE(seen.dialogShown);
  EXPECT_TRUE(seen.missingControls.empty()) << "first missing control: " << seen.missingControls.front();
  for (const std::string& fault : seen.layoutFaults) ADD_FAILURE() << "misplaced control(s) " << fault;
  EXPECT_EQ(seen.engineCount, static_cast<LRESULT>(opening.engines().size()));
  EXPECT_EQ(seen.engineSelected, static_cast<LRESULT>(opening.engineIndex()));

  EXPECT_NE(seen.refusal.find(L"from 1 to 8"), std::wstring::npos);
  EXPECT_EQ(seen.connectionsWhileRefused, before.connections);
  EXPECT_TRUE(seen.openAfterRefusal);

  ASSERT_TRUE(seen.closedByOk);
  EXPECT_TRUE(confirmed);
  const Settings after = store.snapshot();
  EXPECT_EQ(after.connections, 5u);
  EXPECT_EQ(after.userAgent.view(), "Archiver/2.0");
  EXPECT_TRUE(after.http10);
  EXPECT_FALSE(before.http10);
  EXPECT_EQ(after.engine.view(), opening.engines()[1].name);
  EXPECT_EQ(after.caFile.view(), before.caFile.view());
}

}  // namespace
}  // namespace quillstash::win32ui
