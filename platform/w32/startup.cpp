// The start-up code. On Windows the C runtime's entry point finds the show
// command in the process's start-up information and calls WinMain; here the
// host plays that part.
#include "startup.h"

#include <string>

#include "internal.h"

namespace w32 {
namespace {

// One argument as it would stand on a Windows command line: quoted when it
// has blanks or quotes, with quotes and the backslashes before them escaped.
void AppendArgument(std::string& line, const std::string& arg) {
  if (!line.empty()) line += ' ';
  if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
    line += arg;
    return;
  }
  line += '"';
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, '\\');
  line += '"';
}

}  // namespace

int StartWinMain(int count, const char* const* args) {
  std::string line;
  for (int i = 0; i < count; ++i) AppendArgument(line, args[i] ? args[i] : "");
  return WinMain(GetModuleHandleA(NULL), NULL, &line[0], CurrentHost().ShowCommand());
}

}  // namespace w32
