// What every program of the project prints for --version, the start-up check of the window
// program, whose only options are --help and --version, and the window's About box.
#pragma once

#include <QString>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace quellix {

// The project's version, as set in the top-level CMakeLists.txt.
extern const char* const ProjectVersion;

// Name, version, copyright and licence (GPL-3.0-or-later), one item a line.
std::string VersionText(std::string_view program);

// Answers --help (-h) with `usage` and --version (-v) with VersionText, on `out`, and returns the exit
// status; returns nothing when neither is given. Other arguments are left alone: they are Qt's own
// options (-platform, -style) or ignored, as in a program without a command line.
std::optional<int> AnswerHelpOrVersion(int argc, const char* const* argv, std::string_view program,
                                       std::string_view usage, std::ostream& out);

// The About box: VersionText, the Qt version in use, and the files the window uses.
QString AboutText(const QString& formStateFile, const QString& autosaveFile, const QString& manual);

} // namespace quellix
