// libFuzzer target of the code page decoders: the first byte chooses a code page, the rest is
// text in it. Any input decodes or fails with a library exception; what decodes is UTF-8 that
// converts to window text, in either letters, and back without failing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "toolkit/code_pages.h"
#include "toolkit/errors.h"
#include "toolkit/letters.h"
#include "toolkit/sjis.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const std::vector<std::string> names = pw::codepage::Names();
  const std::string& name = names[data[0] % names.size()];
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string utf8;
  try {
    utf8 = pw::codepage::ToUtf8ByTable(text, name);
  } catch (const pw::EConvertError&) {
    return 0;
  }
  for (const auto letters : {pw::TLetters::Japanese, pw::TLetters::International}) {
    const std::string window = pw::ToWindowText(utf8, letters);  // decoded text is always UTF-8
    const std::string back = pw::WindowTextToUtf8(window);
    if (back.empty() != utf8.empty() || pw::sjis::SplitCharacters(window).size() > utf8.size()) std::abort();
  }
  return 0;
}
