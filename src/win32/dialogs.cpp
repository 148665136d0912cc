// SPDX-License-Identifier: MIT
#include "win32/dialogs.h"

#include <commctrl.h>

#include <string>
#include <string_view>

#include "app/advanced_settings_model.h"
#include "app/saving_options_model.h"
#include "app/window_fields.h"
#include "win32/window_text.h"

namespace quillstash::win32ui {
namespace {

// The object behind a dialog: handed over with WM_INITDIALOG, kept in the
// window's user data.
template <typename T>
T* stateOf(HWND dialog, UINT message, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return reinterpret_cast<T*>(lParam);
  }
  return reinterpret_cast<T*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

void showProblem(HWND dialog, int focus, const std::string& text, const char* title) {
  ::MessageBoxW(dialog, wide(text).c_str(), wide(title).c_str(), MB_OK | MB_ICONWARNING);
  HWND control = ::GetDlgItem(dialog, focus);
  ::EnableWindow(control, TRUE);
  ::SetFocus(control);
  ::SendMessageW(control, EM_SETSEL, 0, -1);
}

// Advanced settings.

struct AdvancedState {
  SettingsStore& store;
  AdvancedSettingsModel model;
  bool filling = false;  // controls being filled: their change notices are not the user's
};

void refreshAdvancedEnabled(HWND dialog, const AdvancedSettingsModel& model) {
  for (const auto& field : AdvancedSettingsModel::textFields()) enable(dialog, field.id, model.isEnabled(field.id));
  for (int id : AdvancedSettingsModel::numberFields()) enable(dialog, id, model.isEnabled(id));
  enable(dialog, AdvancedSettingsModel::kForumLinksOnlyBox, model.isEnabled(AdvancedSettingsModel::kForumLinksOnlyBox));
}

INT_PTR CALLBACK advancedProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  using Model = AdvancedSettingsModel;
  AdvancedState* state = stateOf<AdvancedState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      state->filling = true;
      for (const auto& field : Model::textFields()) {
        ::SendDlgItemMessageW(dialog, field.id, EM_LIMITTEXT, Model::kTextLimit, 0);
        setControlText(dialog, field.id, state->model.text(field.id));
      }
      for (int id : Model::numberFields()) setControlText(dialog, id, state->model.text(id));
      ::SendDlgItemMessageW(dialog, Model::kProfileFileEdit, EM_LIMITTEXT, Model::kTextLimit, 0);
      setControlText(dialog, Model::kProfileFileEdit, state->model.text(Model::kProfileFileEdit));
      for (const auto& entry : state->model.engines()) {
        ::SendDlgItemMessageW(dialog, Model::kEngineCombo, CB_ADDSTRING, 0,
                              reinterpret_cast<LPARAM>(wide(entry.label).c_str()));
      }
      ::SendDlgItemMessageW(dialog, Model::kEngineCombo, CB_SETCURSEL, state->model.engineIndex(), 0);
      for (const auto& box : Model::checkBoxes()) setTicked(dialog, box.id, state->model.isChecked(box.id));
      refreshAdvancedEnabled(dialog, state->model);
      state->filling = false;
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == EN_CHANGE) {
        if (!state->filling) state->model.setText(id, controlText(dialog, id));
        return TRUE;
      }
      if (id == Model::kEngineCombo) {
        if (HIWORD(wParam) != CBN_SELCHANGE) return FALSE;
        const LRESULT index = ::SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0);
        if (index != CB_ERR) state->model.setEngineIndex(static_cast<std::size_t>(index));
        return TRUE;
      }
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      if (id == Model::kOk) {
        if (const int invalid = state->model.invalidNumberField(); invalid != 0) {
          const Model::NumberLimits limits = Model::numberLimits(invalid);
          showProblem(dialog, invalid,
                      limits.seconds ? "Enter a number of seconds from 0 to " + std::to_string(limits.max) + "."
                                     : "Enter a whole number from " + std::to_string(limits.min) + " to " +
                                           std::to_string(limits.max) + ".",
                      Model::kTitle);
          return TRUE;
        }
        if (const std::string_view problem = state->model.proxyProblem(); !problem.empty()) {
          showProblem(dialog, Model::kProxyEdit, std::string(problem), Model::kTitle);
          return TRUE;
        }
        state->store.replace(state->model.accept(state->store.snapshot()));
        ::EndDialog(dialog, IDOK);
      } else if (id == Model::kCancel) {
        ::EndDialog(dialog, IDCANCEL);
      } else if (id == Model::kWildcards) {
        ::MessageBoxW(dialog, wide(Model::wildcardsHelp()).c_str(), wide(Model::kMessageTitle).c_str(), MB_OK);
      } else {
        for (const auto& box : Model::checkBoxes()) {
          if (box.id != id) continue;
          state->model.setChecked(id, isTicked(dialog, id));
          refreshAdvancedEnabled(dialog, state->model);
        }
      }
      return TRUE;
    }
    case WM_CLOSE: ::EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
  }
}

// Saving Options.

struct SavingState {
  SettingsStore& store;
  SavingOptionsModel model;
};

INT_PTR CALLBACK savingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  using Model = SavingOptionsModel;
  SavingState* state = stateOf<SavingState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
      setControlText(dialog, Model::kMaxCharsEdit, state->model.maxFileNameChars);
      setTicked(dialog, Model::kSaveAttachmentsBox, state->model.saveAttachments);
      setTicked(dialog, Model::kSaveExternalImagesBox, state->model.saveExternalImages);
      setTicked(dialog, Model::kLinkAllImagesBox, state->model.linkAllImages);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case Model::kOk:
          state->model.maxFileNameChars = controlText(dialog, Model::kMaxCharsEdit);
          state->model.saveAttachments = isTicked(dialog, Model::kSaveAttachmentsBox);
          state->model.saveExternalImages = isTicked(dialog, Model::kSaveExternalImagesBox);
          state->model.linkAllImages = isTicked(dialog, Model::kLinkAllImagesBox);
          if (!state->model.maxFileNameCharsValid()) {
            showProblem(dialog, Model::kMaxCharsEdit,
                        "Enter a whole number from " + std::to_string(Model::kMinChars) + " to " +
                            std::to_string(Model::kMaxChars) + ".",
                        Model::kTitle);
            return TRUE;
          }
          state->store.replace(state->model.accept(state->store.snapshot()));
          ::EndDialog(dialog, IDOK);
          return TRUE;
        case Model::kCancel: ::EndDialog(dialog, IDCANCEL); return TRUE;
        default: return FALSE;
      }
    case WM_CLOSE: ::EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
  }
}

// Detected Forums.

struct ForumsState {
  DetectedForumsModel& model;
  bool filling = false;
};

void showForumChecks(HWND list, ForumsState& state) {
  state.filling = true;
  const auto& rows = state.model.rows();
  for (std::size_t i = 0; i < rows.size(); ++i) ListView_SetCheckState(list, static_cast<int>(i), rows[i].checked);
  state.filling = false;
}

INT_PTR CALLBACK forumsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  using Model = DetectedForumsModel;
  ForumsState* state = stateOf<ForumsState>(dialog, message, lParam);
  if (state == nullptr) return FALSE;
  HWND list = ::GetDlgItem(dialog, Model::kList);
  switch (message) {
    case WM_INITDIALOG: {
      ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE);
      int column = 0;
      for (const Model::Column& header : Model::kColumns) {
        std::wstring title = wide(header.title);
        LVCOLUMNW entry{};
        entry.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        entry.fmt = LVCFMT_LEFT;
        entry.cx = header.width;
        entry.pszText = title.data();
        ListView_InsertColumn(list, column++, &entry);
      }
      state->filling = true;
      const auto& rows = state->model.rows();
      for (std::size_t i = 0; i < rows.size(); ++i) {
        // A sub-forum is indented under its forum, one step per level.
        std::wstring name = wide(std::string(4 * state->model.depth(i), ' ') + rows[i].name);
        std::wstring address = wide(rows[i].address);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = name.data();
        ListView_InsertItem(list, &item);
        ListView_SetItemText(list, static_cast<int>(i), 1, address.data());
      }
      showForumChecks(list, *state);
      return TRUE;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom != static_cast<UINT_PTR>(Model::kList) || header->code != LVN_ITEMCHANGED) return FALSE;
      const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
      if (state->filling || change->iItem < 0 || (change->uChanged & LVIF_STATE) == 0) return TRUE;
      if (((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) == 0) return TRUE;
      // A forum's box carries its sub-forums' boxes: the model says which.
      state->model.setChecked(static_cast<std::size_t>(change->iItem), ListView_GetCheckState(list, change->iItem));
      showForumChecks(list, *state);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == Model::kOk) {
        ::EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == Model::kCancel) {
        ::EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE: ::EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

bool runAdvancedSettings(HWND owner, SettingsStore& settings) {
  AdvancedState state{settings, AdvancedSettingsModel(settings.snapshot())};
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kAdvancedSettingsDialog), owner, advancedProc,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

bool runSavingOptions(HWND owner, SettingsStore& settings) {
  SavingState state{settings, SavingOptionsModel(settings.snapshot())};
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kSavingOptionsDialog), owner, savingProc,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

bool runDetectedForums(HWND owner, DetectedForumsModel& model) {
  ForumsState state{model};
  return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kDetectedForumsDialog), owner, forumsProc,
                           reinterpret_cast<LPARAM>(&state)) == IDOK;
}

}  // namespace quillstash::win32ui
