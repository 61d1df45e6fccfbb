// What the programs tell about a game's messages: one JSON object a line for each message and
// choice, the lines of the fit check, and the index page of the pictures, byte for byte the same
// from panelwright-cli game and the page.
#pragma once

#include <string>
#include <string_view>

#include "io/game_project.h"

namespace pw::io {

// Entry i as one line of JSON (no line break): source, map, event, name, page, command, kind,
// lines, face, skin, wallpaper, position, transparent, translated, fuzzy, translation, picture
// (the name of the picture that shows it, without extension) and problems.
std::string GameListLine(const GameProject& project, std::size_t i);

// Every problem as "PLACE: SENTENCE" lines, then the total: "3 of 1789 messages and choices
// do not fit." or "All 1789 messages and choices fit."
std::string GameCheckReport(const GameProject& project);

// index.html of the pictures: every message and choice with its picture (NAME.extension), its
// text (and translation), its place and its problems, those with problems first.
std::string GameIndexHtml(const GameProject& project, std::string_view extension);

}  // namespace pw::io
