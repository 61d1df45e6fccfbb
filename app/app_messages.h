// Every text the window program shows to users, spelled once.
#pragma once

namespace pw::app_msg {

inline constexpr const char* kApplicationTitle = "Panelwright";

// Exit question.
inline constexpr const char* kExitText = "終了します。";
inline constexpr const char* kExitCaption = "終了確認";

// Preview caption pieces and the colour-depth labels.
inline constexpr const char* kPreviewPrefix = "  Preview ( ";
inline constexpr const char* kPreviewTimes = "x ";
inline constexpr const char* kPreviewClose = ") ";
inline constexpr const char* kPreviewMagnify = "magnify:x";
inline constexpr const char* kPreviewColours = " Col.Nm";
inline constexpr const char* kLabel1Bit = "1 bit (2 col) ";
inline constexpr const char* kLabel4Bit = "4 bit (16 col) ";
inline constexpr const char* kLabel8Bit = "8 bit (256 col) ";
inline constexpr const char* kLabel24Bit = "24 bit (High  colour) ";
inline constexpr const char* kLabel32Bit = "32 bit (True colour ) ";
inline constexpr const char* kLabelCustom = "Indiscフルカラー）";

// File dialogs (filters as description|patterns pairs).
inline constexpr const char* kOpenFilter =
    "Bitmap, png file(*.bmp;*.png)|*.bmp;*.png|Bitmap(*.bmp)|*.bmp|png file(*.png)|*.png";
inline constexpr const char* kSaveFilter = "Bitmap(*.bmp)|*.bmp|PNG file (*.png)|*.png";
inline constexpr const char* kSaveDefaultExtension = "bmp";
inline constexpr const char* kAnimationFilter = "GIF animation (*.gif)|*.gif|Animated PNG (*.png)|*.png";
inline constexpr const char* kAnimationDefaultExtension = "gif";
// Names the command in the message about an animation's file name.
inline constexpr const char* kSaveAnimationCommand = "Save animation";
inline constexpr const char* kPlay = "Play";
inline constexpr const char* kStop = "Stop";
inline constexpr const char* kNoPreview = "(no preview)";

// Saving before anything was made.
inline constexpr const char* kNothingToSave = "There is no window to save yet. Press Make first.";

// Quick save.
inline constexpr const char* kBrowseFolderTitle = "フォルダを選択してください。";
inline constexpr const char* kNoFileName = "Type a file name to save under";
inline constexpr const char* kNoFolder = "Choose a folder to save into";
inline constexpr const char* kNoSuchFolder = "There's no such folder";
inline constexpr const char* kOverwriteCaption = "Save Image";
inline constexpr const char* kAlreadyExists = " already exists";
inline constexpr const char* kLineBreak = "\r\n";
inline constexpr const char* kOverwriteQuestion = "Overwrite ?";
inline constexpr const char* kSaved = "Saved it";
inline constexpr const char* kCantSave = "Can't save the image";

// The status bar: what a command did, or why it did nothing (%1, %2 are filled in).
inline constexpr const char* kStatusLoaded = "System graphic: %1";
inline constexpr const char* kStatusKeptSkin = "%1 was not opened, so the skin stays %2: %3";
inline constexpr const char* kStatusNotASkinFile = "%1 was not loaded: a system graphic is a .bmp or .png file";
inline constexpr const char* kStatusEmptySkin = "%1 holds no image; the file may be cut short";
inline constexpr const char* kStatusWrongSize = "The skin is %1×%2 pixels; a system graphic must be 160×80";
inline constexpr const char* kStatusNoSystemGraphic = "No system graphic yet: open a 160×80 BMP or PNG skin first";
inline constexpr const char* kStatusNoWindow = "No window yet: press Make first";
inline constexpr const char* kStatusWindowSize = "Window %1×%2 pixels";
inline constexpr const char* kStatusSaved = "Saved %1";
inline constexpr const char* kStatusPlaying = "Playing the animation: any change stops it";
inline constexpr const char* kStatusLiveFailed = "Live preview not updated: %1";

// File drop target.
inline constexpr const char* kNoHookTarget = "フック先を特定できません。";

// The Extras menu and its dialogs.
inline constexpr const char* kExtrasMenu = "E&xtras";
inline constexpr const char* kOpenText = "Open text…";
inline constexpr const char* kOpenTextTitle = "Open text";
inline constexpr const char* kOpenTextFilter = "Text files (*.txt);;All files (*)";
inline constexpr const char* kCodePageTitle = "Code page";
inline constexpr const char* kCodePagePrompt = "The text is not UTF-8. Which code page is it written in?";
inline constexpr const char* kInternationalLetters = "International letters";
inline constexpr const char* kStatusMissingGlyphs = "%1; %2";
inline constexpr const char* kFaceGraphic = "Face graphic…";
inline constexpr const char* kFaceRight = "Face on the right";
inline constexpr const char* kFlipFace = "Flip face";
inline constexpr const char* kPauseArrow = "Pause arrow";
inline constexpr const char* kGameCodes = "Game message codes";
inline constexpr const char* kNamesAndValues = "Names and values…";
inline constexpr const char* kFaceDialogTitle = "Face graphic";
inline constexpr const char* kFaceSheetLabel = "Sheet:";
inline constexpr const char* kFaceSheetButton = "Sheet…";
inline constexpr const char* kNoFaceButton = "No face";
inline constexpr const char* kFaceSheetFilter = "Picture(*.bmp;*.png;*.dib)|*.bmp;*.png;*.dib";
inline constexpr const char* kFaceSheetHint = "Faces are 48×48 cells, four to a row, numbered from 0.";
inline constexpr const char* kFaceSheetEmpty = "This picture holds no 48×48 face.";
inline constexpr const char* kNamesDialogTitle = "Names and values";
inline constexpr const char* kNamesHint = "\\N[n] shows the name and \\V[n] the value given for n.";
inline constexpr const char* kNumberColumn = "n";
inline constexpr const char* kNameColumn = "Name (\\N[n])";
inline constexpr const char* kValueColumn = "Value (\\V[n])";
inline constexpr const char* kAddRow = "Add";
inline constexpr const char* kRemoveRow = "Remove";

}  // namespace pw::app_msg
