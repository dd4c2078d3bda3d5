#pragma once

// The team line: the team of a run, in order, written into the experiment log as a comment when
// the simulation is initialized, so that a log cut off by a crash (which never got its
// TeamMembers section) still says who took part:
//
//     <!-- team: ALPHA | BRAVO | CHARLIE -->
//
// Readers that follow the log format skip comments. Names are percent-encoded where a byte
// could end the comment or the list: '%', '|', '-' (a comment must not hold "--" nor end with
// '-'), '<', '>', '&', and every byte up to the blank and 0x7F. Every other byte, UTF-8 included,
// is written as it is.

#include <string>
#include <string_view>
#include <vector>

namespace halyx {

// "<!-- team: A | B -->\n"; an empty team gives "<!-- team: -->\n".
std::string TeamCommentLine(const std::vector<std::string>& team);

// Reads the names back from the text of one comment (the whole "<!-- ... -->" markup). False
// when the comment is not a team line; a name whose encoding is broken is read as it stands.
bool ReadTeamComment(std::string_view comment, std::vector<std::string>& team);

} // namespace halyx
