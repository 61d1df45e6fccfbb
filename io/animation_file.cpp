#include "io/animation_file.h"

#include "compose/animate.h"
#include "gif/gif_writer.h"
#include "io/options.h"
#include "png/png_writer.h"
#include "toolkit/errors.h"
#include "toolkit/picture.h"
#include "toolkit/replace_file.h"

namespace pw::io {

bool IsAnimationFileName(const std::string& name) {
  const std::string extension = FileExtension(name);
  return extension == "gif" || extension == "png";
}

void WriteAnimation(const TAnimation& animation, const std::string& name, TStream& stream, const std::string& what) {
  if (!IsAnimationFileName(name)) throw Exception(AnimationNameMessage(what, name));
  if (IsPngFileName(name)) WriteApng(animation, stream);
  else WriteGif(animation, AnimationPalette(animation, gif::kMaxColours), stream);
}

void SaveAnimationFile(const TAnimation& animation, const std::string& fileName, const std::string& what) {
  if (!IsAnimationFileName(fileName)) throw Exception(AnimationNameMessage(what, fileName));
  ReplaceFile(fileName, [&](TStream& file) { WriteAnimation(animation, fileName, file, what); });
}

}  // namespace pw::io
