// The abstract graphic: size, stream and file I/O, assignment, change and progress notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace pw {

class TStream;
class TBitmap;

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
};

enum class TProgressStage { psStarting, psRunning, psEnding };

class TGraphic;
using TNotifyEvent = std::function<void(TGraphic& sender)>;
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, std::uint8_t percentDone,
                                          bool redrawNow, const TRect& rect, const std::string& message)>;

class TGraphic {
 public:
  TGraphic() = default;
  TGraphic(const TGraphic&) = default;
  TGraphic& operator=(const TGraphic&) = default;
  virtual ~TGraphic() = default;

  virtual const char* ClassName() const = 0;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual bool GetEmpty() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;

  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // Opens the file for reading and loads it (EFOpenError when it cannot be opened).
  virtual void LoadFromFile(const std::string& fileName);
  // Writes the graphic to a file.
  virtual void SaveToFile(const std::string& fileName);

  // Copies source into this graphic. The base hands the work to source.AssignTo(*this);
  // a null source is refused with EConvertError.
  virtual void Assign(const TGraphic* source);
  // Copies this graphic into dest. The base raises EConvertError ("Cannot assign a X to a Y.").
  virtual void AssignTo(TGraphic& dest) const;

  // Paints the graphic into rect of target (nearest-neighbour stretch).
  virtual void Draw(TBitmap& target, const TRect& rect) const;

  bool GetTransparent() const { return transparent_; }
  virtual void SetTransparent(bool value);

  bool PaletteModified = false;
  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  virtual void Changed();
  void Progress(TProgressStage stage, std::uint8_t percentDone, bool redrawNow, const TRect& rect,
                const std::string& message);

 private:
  bool transparent_ = false;
};

}  // namespace pw
