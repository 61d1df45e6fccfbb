// An animation written as the file its name asks for: NAME.gif a looping GIF, NAME.png an
// animated PNG. Shared by panelwright-cli compose --animate, the window's Save animation and the
// page's downloads, so that the three write the same bytes and refuse the same names.
#pragma once

#include <string>

#include "toolkit/animation.h"
#include "toolkit/stream.h"

namespace pw::io {

// True for the names an animation is written under: .gif and .png, in any letter case.
bool IsAnimationFileName(const std::string& name);

// Writes the animation into stream in the format that name's extension chooses. Raises an
// Exception with AnimationNameMessage (what, name) for any other name, before anything is
// written, and the writers' own failures.
void WriteAnimation(const TAnimation& animation, const std::string& name, TStream& stream,
                    const std::string& what);

// Writes the animation to the file name, as WriteAnimation chooses its format, through a
// temporary file so that a failure leaves an existing file as it was.
void SaveAnimationFile(const TAnimation& animation, const std::string& fileName, const std::string& what);

}  // namespace pw::io
