#include "packaging/man_page.h"

#include <algorithm>
#include <cctype>

namespace pw::man {
namespace {

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::size_t Indent(std::string_view line) {
  const std::size_t n = line.find_first_not_of(' ');
  return n == std::string_view::npos ? line.size() : n;
}

bool IsBlank(std::string_view line) { return Trim(line).empty(); }

constexpr std::string_view kUsage = "usage: ";

// The first usage block (the "usage:" line and the lines up to the next blank one) and the rest.
std::pair<std::string, std::string> SplitUsage(std::string_view help) {
  std::string usage;
  std::string rest;
  bool inUsage = false;
  bool usageDone = false;
  for (std::string_view line : Lines(help)) {
    if (!usageDone && !inUsage && line.starts_with(kUsage)) inUsage = true;
    if (inUsage && IsBlank(line)) {
      inUsage = false;
      usageDone = true;
      continue;
    }
    (inUsage ? usage : rest).append(line).push_back('\n');
  }
  return {usage, rest};
}

std::string Upper(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::toupper(c); });
  return out;
}

const Section* FindSection(const std::vector<Section>& sections, std::string_view title) {
  for (const Section& s : sections)
    if (s.title == title) return &s;
  return nullptr;
}

}  // namespace

std::vector<std::string> CommandNames(std::string_view help) {
  std::vector<std::string> names;
  bool inList = false;
  for (std::string_view line : Lines(help)) {
    if (Trim(line) == "Commands:") {
      inList = true;
      continue;
    }
    if (!inList) continue;
    if (IsBlank(line) || Indent(line) == 0) break;
    const std::string_view body = Trim(line);
    names.emplace_back(body.substr(0, body.find(' ')));
  }
  return names;
}

std::vector<Section> ParseInclude(std::string_view text) {
  std::vector<Section> sections;
  for (std::string_view line : Lines(text)) {
    const std::string_view t = Trim(line);
    if (t.size() > 2 && t.front() == '[' && t.back() == ']') {
      sections.push_back({Upper(t.substr(1, t.size() - 2)), {}});
    } else if (!sections.empty()) {
      sections.back().text.append(line).push_back('\n');
    }
  }
  return sections;
}

std::string RoffText(std::string_view line) {
  std::string out;
  bool inOption = false;  // inside a word that starts with '-'
  char previous = ' ';
  for (char c : line) {
    if (c == ' ') inOption = false;
    else if (c == '-' && (previous == ' ' || previous == '[' || previous == '|' || previous == '(')) inOption = true;
    if (c == '\\')
      out += "\\e";
    else if (c == '-' && inOption)
      out += "\\-";
    else
      out += c;
    previous = c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  // A line starting with a dot or a quote would be read as a request.
  if (!out.empty() && (out.front() == '.' || out.front() == '\'')) out.insert(0, "\\&");
  return out;
}

std::string RoffFromHelp(std::string_view help) {
  enum class Mode { kNone, kParagraph, kUsage, kDefinition };
  std::string out;
  Mode mode = Mode::kNone;
  std::size_t termIndent = 0;
  const auto endUsage = [&] {
    if (mode == Mode::kUsage) out += ".fi\n";
    mode = Mode::kNone;
  };
  for (std::string_view line : Lines(help)) {
    if (IsBlank(line)) {
      endUsage();
      continue;
    }
    const std::size_t indent = Indent(line);
    if (mode == Mode::kUsage && indent > 0) {
      out += RoffText(line) + "\n";
      continue;
    }
    if (line.starts_with(kUsage)) {
      endUsage();
      out += ".PP\n.nf\n" + RoffText(line.substr(kUsage.size())) + "\n";
      mode = Mode::kUsage;
      continue;
    }
    if (mode == Mode::kUsage) endUsage();
    if (indent == 0) {
      if (mode != Mode::kParagraph) out += ".PP\n";
      out += RoffText(line) + "\n";
      mode = Mode::kParagraph;
      continue;
    }
    if (mode == Mode::kDefinition && indent > termIndent) {
      out += RoffText(Trim(line)) + "\n";
      continue;
    }
    const std::string_view body = Trim(line);
    const std::size_t gap = body.find("  ");
    const std::string_view term = body.substr(0, gap);
    const std::string_view description = gap == std::string_view::npos ? std::string_view() : Trim(body.substr(gap));
    if (description.empty())
      out += ".IP\n" + RoffText(term) + "\n";
    else
      out += ".TP\n.B " + RoffText(term) + "\n" + RoffText(description) + "\n";
    mode = Mode::kDefinition;
    termIndent = indent;
  }
  endUsage();
  return out;
}

std::string RenderPage(const Page& page) {
  std::string out = ".TH " + Upper(page.program) + " 1 \"\" \"" + page.source + "\" \"User Commands\"\n";
  out += ".SH NAME\n";
  if (const Section* name = FindSection(page.include, "NAME")) out += RoffText(Trim(name->text)) + "\n";
  const auto [usage, rest] = SplitUsage(page.help);
  out += ".SH SYNOPSIS\n" + RoffFromHelp(usage);
  out += ".SH DESCRIPTION\n";
  if (const Section* before = FindSection(page.include, "<DESCRIPTION")) out += RoffFromHelp(before->text);
  out += RoffFromHelp(rest);
  if (const Section* after = FindSection(page.include, "DESCRIPTION")) out += RoffFromHelp(after->text);
  if (!page.commands.empty()) {
    out += ".SH COMMANDS\n";
    for (const auto& [name, help] : page.commands) out += ".SS " + RoffText(name) + "\n" + RoffFromHelp(help);
  }
  for (const Section& section : page.include) {
    if (section.title == "NAME" || section.title.ends_with("DESCRIPTION")) continue;
    out += ".SH " + RoffText(section.title) + "\n" + RoffFromHelp(section.text);
  }
  return out;
}

}  // namespace pw::man
