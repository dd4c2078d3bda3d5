#include "study/assign.h"

#include "common/format.h"
#include "study/studycsv.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace halyx {

namespace {

std::filesystem::path Absolute(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) {
        absolute = path;
    }
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, ec);
    return (ec ? absolute : canonical).lexically_normal();
}

} // namespace

std::vector<std::vector<int>> BalancedLatinSquare(int n) {
    std::vector<std::vector<int>> square;
    if (n <= 0) {
        return square;
    }
    // First row 0, 1, n-1, 2, n-2, ...; every further row adds 1 to each entry (mod n). The
    // differences between neighbours of the first row then take every value once, which is what
    // balances the carry-over for an even n.
    std::vector<int> first;
    for (int low = 0, high = n - 1, k = 0; static_cast<int>(first.size()) < n; ++k) {
        if (k > 0 && k % 2 == 0) {
            first.push_back(high--);
        } else {
            first.push_back(low++);
        }
    }
    for (int r = 0; r < n; ++r) {
        std::vector<int> row;
        for (const int value : first) {
            row.push_back((value + r) % n);
        }
        square.push_back(std::move(row));
    }
    if (n % 2 == 1) {
        for (int r = 0; r < n; ++r) {
            std::vector<int> mirror = square[static_cast<size_t>(r)];
            std::reverse(mirror.begin(), mirror.end());
            square.push_back(std::move(mirror));
        }
    }
    return square;
}

std::vector<CPlanRow> AssignScenarios(int teams, const std::vector<std::string>& scenarios,
                                      const std::vector<std::string>& stations) {
    std::vector<CPlanRow> rows;
    const std::vector<std::vector<int>> square =
        BalancedLatinSquare(static_cast<int>(scenarios.size()));
    if (teams <= 0 || square.empty()) {
        return rows;
    }
    const int width = std::max(2, static_cast<int>(std::to_string(teams).size()));
    int run = 1;
    for (int t = 0; t < teams; ++t) {
        const size_t sequence = static_cast<size_t>(t) % square.size();
        const std::string team = Format("T%0*d", width, t + 1);
        for (size_t block = 0; block < square[sequence].size(); ++block) {
            CPlanRow row;
            row.run = run++;
            row.team = team;
            row.block = static_cast<int>(block) + 1;
            row.scenario = scenarios[static_cast<size_t>(square[sequence][block])];
            row.mode = "multi";
            if (!stations.empty()) {
                row.stations = stations[std::min(static_cast<size_t>(t), stations.size() - 1)];
            }
            row.notes = Format("sequence %d of %d", static_cast<int>(sequence) + 1,
                               static_cast<int>(square.size()));
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

std::string PlanCsv(const std::vector<CPlanRow>& rows) {
    std::string out = "run,team,block,scenario,mode,stations,notes\n";
    for (const CPlanRow& row : rows) {
        out += Format("%d,", row.run) + CsvField(row.team) + Format(",%d,", row.block) +
               CsvField(row.scenario) + ',' + CsvField(row.mode) + ',' + CsvField(row.stations) +
               ',' + CsvField(row.notes) + '\n';
    }
    return out;
}

std::string PathFromFolder(const std::string& path, const std::string& folder) {
    const std::filesystem::path target = Absolute(path);
    const std::filesystem::path base = Absolute(folder.empty() ? "." : folder);
    const std::filesystem::path relative = target.lexically_relative(base);
    if (relative.empty()) {
        return target.generic_string();
    }
    return relative.generic_string();
}

} // namespace halyx
