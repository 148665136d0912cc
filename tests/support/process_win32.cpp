// SPDX-License-Identifier: MIT
#include "support/process.h"

#include <windows.h>

#include <thread>

namespace quillstash::test {
namespace {

std::wstring widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
  return out;
}

// One argument quoted the way the C runtime splits a command line back.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') backslashes = backslashes * 2 + 1;
    line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

void drain(HANDLE pipe, std::string& into) {
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) into.append(buffer, got);
}

}  // namespace

bool canInterruptProcesses() { return false; }

bool runningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments,
                         std::chrono::milliseconds budget, std::chrono::milliseconds /*interruptAfter*/) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  if (!::CreatePipe(&outRead, &outWrite, &inherit, 0)) {
    result.err = "no pipe for the output: system error " + std::to_string(::GetLastError());
    return result;
  }
  if (!::CreatePipe(&errRead, &errWrite, &inherit, 0)) {
    ::CloseHandle(outRead);
    ::CloseHandle(outWrite);
    return result;
  }
  ::SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
  HANDLE input =
      ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

  std::wstring line;
  appendQuoted(line, widen(program));
  for (const std::string& argument : withTestOptions(program, arguments)) {
    line += L' ';
    appendQuoted(line, widen(argument));
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION child{};
  const std::wstring wideProgram = widen(program);
  const BOOL started =
      ::CreateProcessW(wideProgram.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child);
  ::CloseHandle(outWrite);
  ::CloseHandle(errWrite);
  if (input != INVALID_HANDLE_VALUE) ::CloseHandle(input);
  if (!started) {
    result.err = "the process could not be started: system error " + std::to_string(::GetLastError());
    ::CloseHandle(outRead);
    ::CloseHandle(errRead);
    return result;
  }
  // Each pipe is read on a thread of its own so that neither can fill up.
  std::thread outReader([&] { drain(outRead, result.out); });
  std::thread errReader([&] { drain(errRead, result.err); });
  const DWORD waited = ::WaitForSingleObject(child.hProcess, static_cast<DWORD>(budget.count()));
  if (waited != WAIT_OBJECT_0) {
    ::TerminateProcess(child.hProcess, 1);
    ::WaitForSingleObject(child.hProcess, INFINITE);
    result.timedOut = true;
  }
  outReader.join();
  errReader.join();
  DWORD code = 0;
  if (!result.timedOut && ::GetExitCodeProcess(child.hProcess, &code)) result.exitCode = static_cast<int>(code);
  ::CloseHandle(child.hProcess);
  ::CloseHandle(child.hThread);
  ::CloseHandle(outRead);
  ::CloseHandle(errRead);
  return result;
}

}  // namespace quillstash::test
