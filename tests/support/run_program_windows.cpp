#include "tests/support/run_program.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/utf8_path.h"

namespace kp::test {

namespace {

// One argument as the C runtime splits a command line: quoted, with the
// backslashes before a quote doubled.
std::wstring quoted(const std::wstring& arg) {
  std::wstring out = L"\"";
  std::size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

HANDLE inheritable(const std::filesystem::path& p) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileW(p.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args) {
  const std::filesystem::path exe = pathFromUtf8(program + ".exe");
  std::wstring line = quoted(exe.wstring());
  for (const auto& a : args) line += L" " + quoted(pathFromUtf8(a).wstring());
  const auto tmp = std::filesystem::temp_directory_path();
  const auto outPath = tmp / ("kp-run-out-" + std::to_string(GetCurrentProcessId()));
  const auto errPath = tmp / ("kp-run-err-" + std::to_string(GetCurrentProcessId()));
  const HANDLE out = inheritable(outPath);
  const HANDLE err = inheritable(errPath);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  ProgramResult result;
  if (CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                     &pi)) {
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (GetExitCodeProcess(pi.hProcess, &code)) result.exitCode = static_cast<int>(code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
  CloseHandle(out);
  CloseHandle(err);
  result.out = slurp(outPath);
  result.err = slurp(errPath);
  std::error_code ec;
  std::filesystem::remove(outPath, ec);
  std::filesystem::remove(errPath, ec);
  return result;
}

}  // namespace kp::test
