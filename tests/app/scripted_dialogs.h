// Dialogs answered by a script: each question takes the next prepared answer and every
// message is recorded for the test to inspect.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/dialogs.h"

namespace pw {

class TScriptedDialogs : public TDialogs {
 public:
  struct Box {
    std::string text;
    std::string caption;
    unsigned flags;
  };

  bool RunOpenDialog(std::string& fileName) override { return Answer(openAnswers, openPrefills, fileName); }
  bool RunSaveDialog(std::string& fileName) override { return Answer(saveAnswers, savePrefills, fileName); }
  bool RunSaveAnimationDialog(std::string& fileName) override {
    return Answer(animationAnswers, animationPrefills, fileName);
  }
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    boxes.push_back({text, caption, flags});
    if (boxAnswers.empty()) return (flags & 0x0F) == MB_OK ? IDOK : IDCANCEL;
    const int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
  }
  void ShowInformation(const std::string& text) override { informations.push_back(text); }
  std::string BrowseFolder(const std::string& title) override {
    folderTitles.push_back(title);
    if (folderAnswers.empty()) return "";
    std::string answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
  }
  void Popup(QMenu& menu, const QPoint& screenPos) override {
    poppedMenu = &menu;
    popupPos = screenPos;
  }
  bool ChooseFace(TFaceChoice& choice) override {
    facePrefills.push_back(choice);
    if (faceAnswers.empty()) return false;
    const std::optional<TFaceChoice> answer = faceAnswers.front();
    faceAnswers.pop_front();
    if (answer) choice = *answer;
    return answer.has_value();
  }
  bool RunOpenTextDialog(std::string& fileName) override { return Answer(textAnswers, textPrefills, fileName); }
  bool ChooseCodePage(const std::vector<std::string>& codePages, std::string& codePage) override {
    codePageOffers.push_back(codePages);
    if (codePageAnswers.empty()) return false;
    codePage = codePageAnswers.front();
    codePageAnswers.pop_front();
    return true;
  }
  bool EditNamesAndValues(GameCodeValues& table) override {
    if (tableAnswers.empty()) return false;
    table = tableAnswers.front();
    tableAnswers.pop_front();
    return true;
  }

  // nullopt answers a file dialog with Cancel.
  std::deque<std::optional<std::string>> openAnswers, saveAnswers, animationAnswers, textAnswers;
  std::deque<std::string> codePageAnswers;
  std::vector<std::vector<std::string>> codePageOffers;
  std::vector<std::string> textPrefills;
  std::deque<int> boxAnswers;
  std::deque<std::string> folderAnswers;
  std::deque<std::optional<TFaceChoice>> faceAnswers;  // nullopt answers with Cancel
  std::deque<GameCodeValues> tableAnswers;
  std::vector<TFaceChoice> facePrefills;

  std::vector<std::string> openPrefills, savePrefills, animationPrefills, folderTitles, informations;
  std::vector<Box> boxes;
  QMenu* poppedMenu = nullptr;
  QPoint popupPos;

 private:
  static bool Answer(std::deque<std::optional<std::string>>& answers, std::vector<std::string>& prefills,
                     std::string& fileName) {
    prefills.push_back(fileName);
    if (answers.empty()) return false;
    std::optional<std::string> answer = answers.front();
    answers.pop_front();
    if (!answer) return false;
    fileName = *answer;
    return true;
  }
};

}  // namespace pw
