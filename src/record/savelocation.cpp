#include "record/savelocation.h"

#include "common/format.h"
#include "common/paths.h"

#include <climits>

namespace halyx {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

CSaveLocation::CSaveLocation() : CSaveLocation(DefaultExpLogFolder()) {}

CSaveLocation::CSaveLocation(const std::string& defaultFolder)
    : m_defaultFolder(defaultFolder), m_name(FirstFreeName(defaultFolder)),
      m_location(defaultFolder) {}

std::string CSaveLocation::FirstFreeName(const std::string& folder) {
    // Past 9999 the number simply grows a fifth digit; the folder holds finitely many files,
    // so the search ends.
    for (int n = 1; n < INT_MAX; ++n) {
        std::string name = Format("HalyxSimLog_%04d", n);
        if (!FileExists(folder + name + ".xml")) {
            return name;
        }
    }
    return Format("HalyxSimLog_%04d", INT_MAX);
}

std::string CSaveLocation::NormaliseLocation(std::string_view location) {
    std::string out;
    out.reserve(location.size() + 1);
    for (char c : location) {
        if (IsSeparator(c)) {
            if (out.empty() || out.back() != '/') {
                out += '/';
            }
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == '/') {
        out.pop_back();
    }
    out += '/';
    return out;
}

std::string CSaveLocation::TrimName(std::string_view name) {
    while (!name.empty() && IsSeparator(name.front())) {
        name.remove_prefix(1);
    }
    while (!name.empty() && IsSeparator(name.back())) {
        name.remove_suffix(1);
    }
    return std::string(name);
}

std::string CSaveLocation::Preview() const {
    if (!HasNameAndLocation()) {
        return std::string();
    }
    return GetLocation() + GetName() + ".xml";
}

bool CSaveLocation::NameTaken() const {
    return HasNameAndLocation() && !GetName().empty() && FileExists(Preview());
}

std::string CSaveLocation::BeginPickFolder() const {
    CreatePath(m_defaultFolder);
    return m_defaultFolder;
}

void CSaveLocation::FolderPicked(const std::string& folder) {
    m_location = folder + "/";
}

bool CSaveLocation::Accept(std::string& message) {
    // With no location the OK button is disabled; a console pressing it anyway gets no file in
    // the root folder.
    if (m_location.empty()) {
        message.clear();
        return false;
    }
    // A name of separators alone would leave a file called ".xml": refuse it like an empty one.
    if (GetName().empty()) {
        message = kNoNameMessage;
        return false;
    }
    if (NameTaken()) {
        message = Format(kExistsFormat, Preview().c_str());
        return false;
    }
    message.clear();
    if (!m_location.empty() && !IsSeparator(m_location.back())) {
        m_location += '/';
    }
    return true;
}

} // namespace halyx
