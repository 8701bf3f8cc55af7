#pragma once

#include <string>

namespace akrip32
{

// libcdio 2.1.0's cue parser writes past its track table when a sheet has
// more than 99 TRACK lines (found by fuzzing: a heap overflow inside the
// library, out of reach of our sanitizers). A sheet is handed to it only when
// it is plainly sane: a short text file with short lines whose TRACK numbers
// rise from 1..99, so there are at most 99 of them.
bool cueSheetIsSane(const std::string& path);

} // namespace akrip32
