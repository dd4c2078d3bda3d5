#include "common/paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace halyx {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// Simple glob for one path component: '*' any run, '?' one character.
bool GlobMatch(std::string_view pattern, std::string_view text) {
    size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

} // namespace

std::string ToPortablePath(std::string_view path) {
    std::string out(path);
    for (char& c : out) {
        if (c == '\\') {
            c = '/';
        }
    }
    return out;
}

bool EndsWithSeparator(std::string_view path) {
    return !path.empty() && IsSeparator(path.back());
}

std::string FileNamePart(std::string_view path) {
    const size_t pos = path.find_last_of("/\\");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string FolderPart(std::string_view path) {
    const size_t pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

bool CreatePath(std::string_view path) {
    const std::string portable = ToPortablePath(path);
    size_t pos = portable.find('/');
    if (pos == std::string::npos) {
        return false;
    }
    while (pos != std::string::npos) {
        const std::string prefix = portable.substr(0, pos + 1);
        std::error_code ec;
        if (!fs::is_directory(prefix, ec)) {
            fs::create_directory(prefix, ec);
            if (ec || !fs::is_directory(prefix, ec)) {
                return false;
            }
        }
        pos = portable.find('/', pos + 1);
    }
    return true;
}

bool FolderExists(std::string_view path) {
    std::error_code ec;
    return fs::is_directory(ToPortablePath(path), ec);
}

bool FileExists(std::string_view path) {
    const std::string portable = ToPortablePath(path);
    const std::string name = FileNamePart(portable);
    std::error_code ec;
    if (name.find_first_of("*?") == std::string::npos) {
        return fs::exists(portable, ec);
    }
    std::string folder = FolderPart(portable);
    if (folder.empty()) {
        folder = ".";
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (GlobMatch(name, it->path().filename().string())) {
            return true;
        }
    }
    return false;
}

std::string HalyxHome() {
    std::string home;
    if (const char* env = std::getenv("HALYX_HOME"); env && *env) {
        home = env;
    } else if (const char* userHome = std::getenv("HOME"); userHome && *userHome) {
        home = std::string(userHome) + "/Halyx";
    } else {
        home = "Halyx";
    }
    if (!EndsWithSeparator(home)) {
        home += '/';
    }
    return home;
}

std::string DefaultExpLogFolder() {
    return HalyxHome() + "ExpLogs/";
}
std::string DefaultScenarioFolder() {
    return HalyxHome() + "Scenarios/";
}

} // namespace halyx
