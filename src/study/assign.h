#pragma once

#include <string>
#include <vector>

namespace halyx {

// The orders in which teams run n conditions so that each condition stands in each position
// equally often and each condition directly follows each other one equally often (first-order
// carry-over): for an even n one balanced Latin square of n rows; for an odd n that square and
// its mirror image, 2n rows. Each row is a sequence of condition indices 0 to n-1. n of 0 gives
// no rows.
std::vector<std::vector<int>> BalancedLatinSquare(int n);

// One row of a study plan.
struct CPlanRow {
    int run = 0;
    std::string team;
    int block = 0;
    std::string scenario; // as written in the plan: relative to the plan's folder
    std::string mode;
    std::string stations;
    std::string notes;
};

// Team t (0-based) runs row t mod (rows of the square) of BalancedLatinSquare(scenario count),
// one block per scenario; runs are numbered from 1, team by team. Teams are named "T" and their
// number, zero-padded to the width of the largest (at least two digits); mode is "multi"; notes
// name the sequence ("sequence 3 of 6"). stations holds the stations column (names separated by
// blanks): one text for every team, or one per team in team order; without it the column stays
// empty, and the console refuses such a plan until it is filled in.
std::vector<CPlanRow> AssignScenarios(int teams, const std::vector<std::string>& scenarios,
                                      const std::vector<std::string>& stations = {});

// "run,team,block,scenario,mode,stations,notes" then one line per row, fields quoted where they
// hold a comma, a quote or a line break; every line ends with "\n".
std::string PlanCsv(const std::vector<CPlanRow>& rows);

// path as seen from folder ('/' separators): relative when both lie on the same tree, else the
// absolute path. Neither needs to exist.
std::string PathFromFolder(const std::string& path, const std::string& folder);

} // namespace halyx
