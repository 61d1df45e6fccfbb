#include "game/gettext.h"

#include "game/errors.h"
#include "toolkit/sjis.h"

namespace pw::game {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The catalogue being read: where it is, and the entry being gathered.
class TPoReader {
 public:
  TPoReader(std::string_view text, const std::string& name) : text_(text), name_(name) {}

  std::vector<TCatalogueEntry> Read() {
    CheckUtf8();
    if (text_.starts_with(kByteOrderMark)) text_.remove_prefix(kByteOrderMark.size());
    std::size_t start = 0;
    while (start <= text_.size()) {
      std::size_t end = text_.find('\n', start);
      if (end == std::string_view::npos) end = text_.size();
      std::string_view line = text_.substr(start, end - start);
      if (line.ends_with('\r')) line.remove_suffix(1);
      ++lineNumber_;
      Line(TrimLeft(line));
      start = end + 1;
    }
    Flush();
    return std::move(entries_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what, std::size_t line = 0) const {
    throw EGameError(FormatMessage(game_msg::kCatalogue, {name_, std::to_string(line ? line : lineNumber_), what}));
  }

  void CheckUtf8() const {
    std::size_t line = 1;
    for (std::size_t i = 0; i < text_.size();) {
      int length = 0;
      if (sjis::DecodeUtf8(text_, i, length) < 0) Fail(game_msg::kNotUtf8, line);
      if (text_[i] == '\n') ++line;
      i += static_cast<std::size_t>(length);
    }
  }

  void Line(std::string_view line) {
    if (line.empty()) {
      Flush();
    } else if (line.front() == '#') {
      // Comments, obsolete entries ("#~") among them, are not read but for the fuzzy flag; a
      // comment after a translation starts the next entry.
      if (hasText_) Flush();
      if (line.starts_with("#,") && HasFlag(line.substr(2), "fuzzy")) fuzzy_ = true;
    } else if (line.front() == '"') {
      if (target_ == nullptr) Fail(game_msg::kStrayString);
      *target_ += Quoted(line);
    } else {
      Keyword(line);
    }
  }

  static bool HasFlag(std::string_view flags, std::string_view flag) {
    std::size_t start = 0;
    while (start < flags.size()) {
      std::size_t end = flags.find(',', start);
      if (end == std::string_view::npos) end = flags.size();
      std::string_view word = TrimLeft(flags.substr(start, end - start));
      while (!word.empty() && IsBlank(word.back())) word.remove_suffix(1);
      if (word == flag) return true;
      start = end + 1;
    }
    return false;
  }

  void Keyword(std::string_view line) {
    const std::size_t end = line.find_first_of(" \t\"");
    const std::string_view word = line.substr(0, end);
    const std::string_view rest = end == std::string_view::npos ? std::string_view() : TrimLeft(line.substr(end));
    if (word == "msgctxt" || word == "msgid") {
      if (hasText_) Flush();
      const bool context = word == "msgctxt";
      if (hasId_ || (context && context_)) Fail(FormatMessage(game_msg::kOutOfOrder, {std::string(word)}));
      if (!context_ && !hasId_) entryLine_ = lineNumber_;
      std::string& field = context ? context_.emplace() : id_;
      field = String(word, rest);
      hasId_ = hasId_ || !context;
      target_ = &field;
    } else if (word == "msgid_plural") {
      if (!hasId_ || hasText_) Fail(FormatMessage(game_msg::kOutOfOrder, {std::string(word)}));
      plural_ = String(word, rest);
      target_ = &plural_;
    } else if (word == "msgstr" || (word.starts_with("msgstr[") && word.ends_with(']'))) {
      if (!hasId_) Fail(FormatMessage(game_msg::kOutOfOrder, {std::string(word)}));
      // Only the first form is kept: a message has one text.
      const bool first = !hasText_;
      hasText_ = true;
      if (first) {
        translation_ = String(word, rest);
        target_ = &translation_;
      } else {
        spare_ = String(word, rest);
        target_ = &spare_;
      }
    } else {
      Fail(game_msg::kUnknownKeyword);
    }
  }

  std::string String(std::string_view keyword, std::string_view rest) {
    if (rest.empty() || rest.front() != '"') Fail(FormatMessage(game_msg::kNoString, {std::string(keyword)}));
    return Quoted(rest);
  }

  // The text of a string in double quotes with its escapes, which must fill the line.
  std::string Quoted(std::string_view s) {
    std::string out;
    std::size_t i = 1;
    for (;;) {
      if (i >= s.size()) Fail(game_msg::kUnclosedString);
      const char c = s[i++];
      if (c == '"') break;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i >= s.size()) Fail(game_msg::kUnclosedString);
      i = Escape(s, i, out);
    }
    for (; i < s.size(); ++i)
      if (!IsBlank(s[i])) Fail(game_msg::kAfterString);
    return out;
  }

  // Appends the escape that starts at s[i] (after the backslash); returns the index after it.
  std::size_t Escape(std::string_view s, std::size_t i, std::string& out) {
    static constexpr std::pair<char, char> kSimple[] = {{'n', '\n'}, {'t', '\t'}, {'r', '\r'}, {'"', '"'},
                                                        {'\\', '\\'}, {'a', '\a'}, {'b', '\b'}, {'f', '\f'},
                                                        {'v', '\v'}, {'\'', '\''}, {'?', '?'}};
    const char c = s[i];
    for (const auto& [code, value] : kSimple) {
      if (c == code) {
        out += value;
        return i + 1;
      }
    }
    if (IsOctal(c)) {
      int value = 0;
      std::size_t n = 0;
      for (; n < 3 && i + n < s.size() && IsOctal(s[i + n]); ++n) value = value * 8 + (s[i + n] - '0');
      out += static_cast<char>(value & 0xFF);
      return i + n;
    }
    if (c == 'x' && i + 1 < s.size() && HexValue(s[i + 1]) >= 0) {
      int value = 0;
      std::size_t n = 1;
      for (; n <= 2 && i + n < s.size() && HexValue(s[i + n]) >= 0; ++n) value = value * 16 + HexValue(s[i + n]);
      out += static_cast<char>(value);
      return i + n;
    }
    Fail(FormatMessage(game_msg::kBadEscape, {std::string(1, c)}));
  }

  void Flush() {
    if (hasId_ && !hasText_) Fail(game_msg::kNoMsgstr, entryLine_);
    if (context_ && !hasId_) Fail(FormatMessage(game_msg::kOutOfOrder, {"msgctxt"}), entryLine_);
    if (hasId_ && !id_.empty()) entries_.push_back({std::move(context_), std::move(id_), std::move(translation_), fuzzy_});
    context_.reset();
    id_.clear();
    plural_.clear();
    translation_.clear();
    hasId_ = hasText_ = fuzzy_ = false;
    target_ = nullptr;
  }

  std::string_view text_;
  const std::string& name_;
  std::size_t lineNumber_ = 0;
  std::vector<TCatalogueEntry> entries_;
  // The entry being read.
  std::size_t entryLine_ = 0;
  std::optional<std::string> context_;
  std::string id_;
  std::string plural_;
  std::string translation_;
  std::string spare_;  // further plural forms, read and dropped
  bool hasId_ = false;
  bool hasText_ = false;
  bool fuzzy_ = false;
  std::string* target_ = nullptr;  // the string a continuation line extends
};

}  // namespace

TCatalogue TCatalogue::Read(std::string_view text, const std::string& name) {
  TCatalogue catalogue;
  catalogue.entries_ = TPoReader(text, name).Read();
  for (std::size_t i = 0; i < catalogue.entries_.size(); ++i) {
    const TCatalogueEntry& e = catalogue.entries_[i];
    if (e.text.empty()) continue;
    catalogue.byId_.emplace(std::pair{e.id, e.context}, i);
    const auto [it, added] = catalogue.firstById_.emplace(e.id, i);
    // An entry without a context goes before those with one.
    if (!added && !e.context && catalogue.entries_[it->second].context) it->second = i;
  }
  return catalogue;
}

const TCatalogueEntry* TCatalogue::Find(std::string_view id, const std::optional<std::string_view>& context) const {
  const auto key = std::pair{std::string(id), context ? std::optional<std::string>(std::string(*context)) : std::nullopt};
  const auto it = byId_.find(key);
  return it == byId_.end() ? nullptr : &entries_[it->second];
}

const TCatalogueEntry* TCatalogue::FindAnyContext(std::string_view id) const {
  const auto it = firstById_.find(id);
  return it == firstById_.end() ? nullptr : &entries_[it->second];
}

}  // namespace pw::game
