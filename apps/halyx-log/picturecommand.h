#pragma once

#include <string>
#include <vector>

namespace halyx {

// halyx-log picture LOG [--minute N | --every M] -o OUT: the mission picture at a minute (the
// end by default) as PNG or SVG, or one PNG each M minutes into the folder OUT. args are the
// command's arguments after "picture". Answers the exit status; usage errors are reported
// through usage (with the message) and answer 2.
int RunPictureCommand(int argc, char** argv, const std::vector<std::string>& args,
                      int (*usage)(const std::string& message));

} // namespace halyx
