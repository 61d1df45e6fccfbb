#include "resources/resources.h"

// Gaizi01() and SampleSkins() are defined in the source that pw_embed generates.

namespace pw::resources {

const SampleSkin* FindSampleSkin(std::string_view name) {
  for (const SampleSkin& skin : SampleSkins()) {
    if (skin.name == name) return &skin;
  }
  return nullptr;
}

std::string VersionText(std::string_view program) {
  return std::string(program) + " " PW_VERSION "\n" +
         "Copyright (C) 2026 the Panelwright developers\n"
         "Licence GPL-2.0-or-later: the GNU General Public License, version 2 or (at your option) any\n"
         "later version. The glyphs of WenQuanYi's bitmap font built into the program are under\n"
         "version 2 only, so the program as built is under version 2 of the GNU General Public License.\n"
         "This is free software: you are free to change and share it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

}  // namespace pw::resources
