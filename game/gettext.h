// Gettext catalogues (.po files, UTF-8): the entries a translation of a game is kept in.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pw::game {

struct TCatalogueEntry {
  std::optional<std::string> context;  // msgctxt
  std::string id;                      // msgid
  std::string text;                    // msgstr (msgstr[0] of a plural entry)
  bool fuzzy = false;
};

class TCatalogue {
 public:
  TCatalogue() = default;

  // Reads a catalogue. Comments and flags are read for "fuzzy" only; obsolete entries ("#~")
  // and the header (msgid "") are left out. Raises EGameError "NAME line N: ..." for a line
  // that is not gettext's form, a string without its closing quote or with an unknown escape,
  // keywords out of order, or text that is not UTF-8.
  static TCatalogue Read(std::string_view text, const std::string& name);

  // The entry for msgid id in context (nullopt: the entry without one) with a non-empty
  // translation, or nullptr.
  const TCatalogueEntry* Find(std::string_view id, const std::optional<std::string_view>& context) const;
  // The entry for id with a non-empty translation: the one without a context, else the first
  // in the file with any context; nullptr when none.
  const TCatalogueEntry* FindAnyContext(std::string_view id) const;

  const std::vector<TCatalogueEntry>& Entries() const { return entries_; }

 private:
  std::vector<TCatalogueEntry> entries_;
  // (msgid, context) -> index into entries_; the first of duplicates wins.
  std::map<std::pair<std::string, std::optional<std::string>>, std::size_t, std::less<>> byId_;
  std::map<std::string, std::size_t, std::less<>> firstById_;
};

}  // namespace pw::game
