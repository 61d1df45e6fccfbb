#include "io/game_report.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "compose/game_window.h"
#include "io/game_pictures.h"
#include "toolkit/errors.h"

namespace pw::io {
namespace {

// --- JSON ---

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      static constexpr std::pair<char, char> kShort[] = {{'\n', 'n'}, {'\t', 't'}, {'\r', 'r'}, {'\b', 'b'}, {'\f', 'f'}};
      const auto* found = std::find_if(std::begin(kShort), std::end(kShort), [c](auto p) { return p.first == c; });
      if (found != std::end(kShort)) {
        out += '\\';
        out += found->second;
      } else {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", byte);
        out += escape;
      }
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonBool(bool value) { return value ? "true" : "false"; }

std::string JsonStrings(const std::vector<std::string>& lines) {
  std::string out = "[";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += ',';
    out += JsonString(lines[i]);
  }
  return out + "]";
}

std::string JsonNumberOrNull(const std::optional<int>& n) { return n ? std::to_string(*n) : "null"; }

// A stored name decoded for people, else empty.
std::string Decoded(const GameProject& project, const std::string& stored) {
  try {
    return project.text.Utf8(stored);
  } catch (const EConvertError&) {
    return {};
  }
}

std::string JsonFace(const GameProject& project, const std::optional<game::TFace>& face) {
  if (!face) return "null";
  return "{\"file\":" + JsonString(Decoded(project, face->file)) + ",\"index\":" + std::to_string(face->index) +
         ",\"right\":" + JsonBool(face->right) + ",\"flip\":" + JsonBool(face->flip) + "}";
}

std::string JsonProblems(const std::vector<GameProblem>& problems) {
  std::string out = "[";
  for (std::size_t i = 0; i < problems.size(); ++i) {
    const GameProblem& p = problems[i];
    out += std::string(i ? "," : "") + "{\"line\":" + std::to_string(p.line) + ",\"width\":" + JsonNumberOrNull(p.width) +
           ",\"room\":" + JsonNumberOrNull(p.room) + ",\"sentence\":" + JsonString(p.sentence) + "}";
  }
  return out + "]";
}

const char* KindName(game::TKind kind) { return kind == game::TKind::kChoice ? "choice" : "message"; }

std::string PictureStem(const GameProject& project, std::size_t i) {
  std::string name = GamePictureName(project.entries[PictureEntry(project, i)].message, "");
  name.pop_back();  // the dot before the empty extension
  return name;
}

// --- HTML ---

std::string Html(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string HtmlLines(const std::vector<std::string>& lines) {
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) out += '\n';
    out += Html(lines[i]);
  }
  return out;
}

constexpr const char* kIndexStyle =
    "body{font-family:sans-serif;margin:1em auto;max-width:60em;padding:0 1em;background:#f4f4f4;color:#222}\n"
    "section{display:flex;gap:1em;align-items:flex-start;background:#fff;margin:.6em 0;padding:.6em;border-radius:4px}\n"
    "section.problem{border-left:6px solid #c33}\n"
    "img{image-rendering:pixelated;flex:none}\n"
    "pre{margin:.3em 0;white-space:pre-wrap;font-size:90%}\n"
    "pre.stored{color:#666}\n"
    ".place{margin:0;font-size:85%;color:#555}\n"
    "ul{margin:.3em 0;color:#a11}\n"
    "section:target{outline:3px solid #36c}\n";

std::string IndexSection(const GameProject& project, std::size_t i, std::string_view extension) {
  const GameEntry& entry = project.entries[i];
  const std::string picture = GamePictureName(project.entries[PictureEntry(project, i)].message, extension);
  const std::string id = GamePictureName(entry.message, "");
  std::string out = "<section id=\"" + Html(id.substr(0, id.size() - 1)) + "\"" +
                    (entry.problems.empty() ? "" : " class=\"problem\"") + ">\n";
  out += "<a href=\"" + Html(picture) + "\"><img src=\"" + Html(picture) + "\" alt=\"\" loading=\"lazy\"></a>\n<div>\n";
  out += "<p class=\"place\">" + Html(GamePlace(project, entry.message)) + " &middot; " + KindName(entry.message.kind);
  if (entry.translation) out += entry.fuzzy ? " &middot; fuzzy translation" : " &middot; translated";
  out += "</p>\n<pre>" + HtmlLines(entry.Shown()) + "</pre>\n";
  if (entry.translation) out += "<pre class=\"stored\">" + HtmlLines(entry.lines) + "</pre>\n";
  if (!entry.problems.empty()) {
    out += "<ul>\n";
    for (const GameProblem& p : entry.problems) out += "<li>" + Html(p.sentence) + "</li>\n";
    out += "</ul>\n";
  }
  return out + "</div>\n</section>\n";
}

}  // namespace

std::string GameListLine(const GameProject& project, std::size_t i) {
  const GameEntry& entry = project.entries[i];
  const game::TMessage& m = entry.message;
  const bool map = m.source == game::TSource::kMap;
  std::string out = "{\"source\":" + JsonString(GameSource(m));
  out += ",\"map\":" + (map ? JsonString(Decoded(project, project.game.tree.NameOf(m.map))) : std::string("null"));
  out += ",\"event\":" + std::to_string(m.event);
  out += ",\"name\":" + JsonString(Decoded(project, m.eventName));
  out += ",\"page\":" + (m.source == game::TSource::kCommon ? std::string("null") : std::to_string(m.page));
  out += ",\"command\":" + std::to_string(m.command);
  out += ",\"kind\":" + JsonString(KindName(m.kind));
  out += ",\"lines\":" + JsonStrings(entry.lines);
  out += ",\"face\":" + JsonFace(project, m.state.face);
  out += ",\"skin\":" + JsonString(Decoded(project, m.state.skin));
  out += ",\"wallpaper\":" + JsonString(m.state.wallpaper == 1 ? "tile" : "stretch");
  out += ",\"position\":" + JsonString(WindowPositionName(static_cast<TWindowPosition>(m.state.position)));
  out += ",\"transparent\":" + JsonBool(m.state.transparent);
  out += ",\"translated\":" + JsonBool(entry.translation.has_value());
  out += ",\"fuzzy\":" + JsonBool(entry.fuzzy);
  out += ",\"translation\":" + (entry.translation ? JsonStrings(*entry.translation) : std::string("null"));
  out += ",\"picture\":" + JsonString(PictureStem(project, i));
  out += ",\"problems\":" + JsonProblems(entry.problems);
  return out + "}";
}

std::string GameCheckReport(const GameProject& project) {
  std::string out;
  for (const GameEntry& entry : project.entries) {
    for (const GameProblem& p : entry.problems) out += GamePlace(project, entry.message) + ": " + p.sentence + "\n";
  }
  const std::size_t all = project.entries.size();
  const std::size_t problems = project.ProblemCount();
  if (problems == 0) return out + "All " + std::to_string(all) + " messages and choices fit.\n";
  return out + std::to_string(problems) + " of " + std::to_string(all) + " messages and choices do not fit.\n";
}

std::string GameIndexHtml(const GameProject& project, std::string_view extension) {
  const std::string title = project.title.empty() ? "The game's messages" : "The messages of " + project.title;
  const std::size_t problems = project.ProblemCount();
  std::string out = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + Html(title) +
                    "</title>\n<style>\n" + kIndexStyle + "</style>\n</head>\n<body>\n<h1>" + Html(title) + "</h1>\n";
  out += "<p>" + std::to_string(project.entries.size()) + " messages and choices; " + std::to_string(problems) +
         (problems == 1 ? " does" : " do") + " not fit the game's window.</p>\n";
  if (problems > 0) {
    out += "<h2>What does not fit</h2>\n";
    for (std::size_t i = 0; i < project.entries.size(); ++i)
      if (!project.entries[i].problems.empty()) out += IndexSection(project, i, extension);
  }
  out += problems > 0 ? "<h2>What fits</h2>\n" : "<h2>Every message and choice</h2>\n";
  for (std::size_t i = 0; i < project.entries.size(); ++i)
    if (project.entries[i].problems.empty()) out += IndexSection(project, i, extension);
  return out + "</body>\n</html>\n";
}

}  // namespace pw::io
