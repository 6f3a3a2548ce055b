// The trace (trace.h) for the web page: while the page listens, every event
// reaches its JavaScript as it begins and as it returns.
//
//   Module._tarvelmin_trace(1)   the page starts listening; (0) stops
//   Module.desk.trace(began, event)
//       began: true when the event begins, false when it returns (the same
//       serial, now with its result). event: {serial, kind: "call" or
//       "message", depth, time, name, posted, fields: [[name, value], ...],
//       result: the decoded result, or null until it returns}.
//
// Everything arrives decoded, as the recorder writes it. With nobody
// listening the layer records nothing, so a page without a trace panel
// pays nothing for it.
#include <emscripten.h>

#include <cstdio>
#include <string>

#include "../trace.h"

namespace {

EM_JS(void, DeskTrace, (int began, const char* json), {
  if (Module.desk && Module.desk.trace) Module.desk.trace(began != 0, JSON.parse(UTF8ToString(json)));
});

void Quote(std::string& out, const char* text) {
  out += '"';
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += char(c);
    }
  }
  out += '"';
}

class PageListener final : public w32::trace::Listener {
 public:
  void Began(const w32::trace::Event& e) override { Send(1, e); }
  void Returned(const w32::trace::Event& e) override { Send(0, e); }

 private:
  void Send(int began, const w32::trace::Event& e) {
    std::string& j = m_json;
    j = "{\"serial\":" + std::to_string(e.serial) + ",\"kind\":\"" +
        (e.kind == w32::trace::EventKind::Call ? "call" : "message") + "\",\"depth\":" + std::to_string(e.depth) +
        ",\"time\":" + std::to_string(e.time) + ",\"name\":";
    Quote(j, e.name ? e.name : "");
    j += ",\"posted\":";
    j += e.posted ? "true" : "false";
    j += ",\"fields\":[";
    for (size_t i = 0; i < e.fields.size(); ++i) {
      j += i ? ",[" : "[";
      Quote(j, e.fields[i].name);
      j += ',';
      Quote(j, e.fields[i].value.c_str());
      j += ']';
    }
    j += "],\"result\":";
    if (e.returned)
      Quote(j, e.result.c_str());
    else
      j += "null";
    j += '}';
    DeskTrace(began, j.c_str());
  }

  std::string m_json;  // kept: one allocation for all events
};

PageListener g_page;

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void tarvelmin_trace(int on) {
  if (on)
    w32::trace::AddListener(&g_page);
  else
    w32::trace::RemoveListener(&g_page);
}
