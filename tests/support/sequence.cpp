#include "sequence.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "w32/names.h"
#include "recorder.h"

namespace {

std::string Name(UINT message) {
  if (const char* name = w32::MessageName(message)) return name;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%04X", message);
  return hex;
}

std::string How(bool posted, bool fromDefProc) {
  return posted ? "posted" : fromDefProc ? "sent by DefWindowProc" : "sent";
}

std::string Describe(const Expect& e) {
  std::ostringstream out;
  out << Name(e.message) << " " << How(e.flags & kPosted, e.flags & kDefProc);
  if (e.flags & kWParam) out << " wParam=" << std::hex << e.wParam << std::dec;
  if (e.flags & kLParam) out << " lParam=" << std::hex << e.lParam << std::dec;
  if (e.flags & kOptional) out << " (optional)";
  return out.str();
}

std::string Describe(const Seen& s) {
  std::ostringstream out;
  out << Name(s.message) << " " << How(s.posted, s.fromDefProc) << " wParam=" << std::hex << s.wParam
      << " lParam=" << s.lParam << std::dec;
  return out.str();
}

bool Matches(const Expect& e, const Seen& s) {
  return e.message == s.message && bool(e.flags & kPosted) == s.posted && bool(e.flags & kDefProc) == s.fromDefProc &&
         (!(e.flags & kWParam) || e.wParam == s.wParam) && (!(e.flags & kLParam) || e.lParam == s.lParam);
}

// Walks the table against the recorded messages it names; empty when they agree.
std::string Compare(const Sequence& expected) {
  std::set<UINT> named;
  for (const Expect& e : expected) named.insert(e.message);
  std::vector<Seen> seen;
  for (const Seen& s : SeenMessages())
    if (named.count(s.message)) seen.push_back(s);
  std::vector<Expect> wanted;
  for (const Expect& e : expected)
    if (!(e.flags & kNever)) wanted.push_back(e);

  size_t i = 0, j = 0;
  bool ok = true;
  while (ok && i < wanted.size()) {
    if (j < seen.size() && Matches(wanted[i], seen[j])) {
      ++i, ++j;
    } else if (wanted[i].flags & kOptional) {
      ++i;
    } else {
      ok = false;
    }
  }
  if (ok && j == seen.size()) return "";

  std::ostringstream out;
  out << "expected (left) and received (right), messages the table names only:\n";
  for (size_t k = 0; k < std::max(wanted.size(), seen.size()); ++k) {
    std::string left = k < wanted.size() ? Describe(wanted[k]) : "";
    std::string right = k < seen.size() ? Describe(seen[k]) : "";
    char line[256];
    std::snprintf(line, sizeof line, "  %2zu  %-48s | %s\n", k, left.c_str(), right.c_str());
    out << line;
  }
  return out.str();
}

}  // namespace

testing::AssertionResult SawSequence(const Sequence& expected, const char* what) {
  std::string difference = Compare(expected);
  SeenMessages().clear();
  if (difference.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << what << ": " << difference;
}

testing::AssertionResult SawSequence(const Sequence& expected, const char* what, DiffersOnPurpose differs) {
#ifdef _WIN32
  (void)differs;
  return SawSequence(expected, what);
#else
  std::string difference = Compare(expected);
  SeenMessages().clear();
  if (!difference.empty()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << what << ": our layer now does what Windows does, though marked as "
                                     << "differing on purpose (" << differs.why << "); drop the marker";
#endif
}
