#include "resources/resources.h"

// Gaizi01() and SampleSkins() are defined in the source that pw_embed generates.

namespace pw::resources {

const SampleSkin* FindSampleSkin(std::string_view name) {
  for (const SampleSkin& skin : SampleSkins()) {
    if (skin.name == name) return &skin;
  }
  return nullptr;
}

}  // namespace pw::resources
