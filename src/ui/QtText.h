#pragma once

#include <QString>
#include <string>

namespace lignado::ui {

// The one pair through which every Windows-1252 text of the core reaches a widget and back.
// With decodeReferences, a "&#N;" that stands for a character Windows-1252 cannot hold (how the
// core keeps such characters) shows as that character; other references stay as written, so
// the way back gives the same bytes.
QString FromCp1252(const std::string& text, bool decodeReferences = false);

// A character Windows-1252 cannot hold becomes "&#N;"; C1 controls keep their byte, so any
// text that came from FromCp1252 without references goes back byte for byte.
std::string ToCp1252(const QString& text);

}  // namespace lignado::ui
