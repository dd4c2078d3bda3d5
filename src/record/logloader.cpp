#include "record/logloader.h"

#include "record/fileio.h"
#include "record/simeventstore.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <pugixml.hpp>
#include <utility>

namespace halyx {

namespace {

enum Section { kNotes, kSimEvents, kTeamMembers, kScenario, kLogHeader, kSectionCount };

constexpr std::array<const char*, kSectionCount> kSectionNames = {
    "Notes", "SimEvents", "TeamMembers", "Scenario", "LogHeader"};

std::string_view LocalName(const char* name) {
    const std::string_view full(name);
    const size_t colon = full.rfind(':');
    return colon == std::string_view::npos ? full : full.substr(colon + 1);
}

LogLoadResult Failure(LogLoadStatus status, std::string detail, size_t offset = 0) {
    LogLoadResult result;
    result.status = status;
    if (status == LogLoadStatus::NotXml) {
        result.message = kLogLoadErrorText;
    } else if (status == LogLoadStatus::Incomplete) {
        result.message = kLogIncompleteText;
    }
    result.detail = std::move(detail);
    result.offset = offset;
    return result;
}

// Reads the whole file. Every line, the last included, ends with a line break, as when the
// file is read line by line.
LogLoadResult ReadLogFile(const std::string& path, std::string& buffer) {
    switch (ReadWholeFile(path, buffer, kMaxLogFileBytes)) {
    case ReadFileStatus::Ok:
        break;
    case ReadFileStatus::CannotOpen:
        return Failure(LogLoadStatus::CannotOpen, "cannot open " + path);
    case ReadFileStatus::NotAFile:
        return Failure(LogLoadStatus::CannotOpen, path + " is not a file");
    case ReadFileStatus::TooLarge:
        return Failure(LogLoadStatus::NotXml, path + " is too large to be an experiment log");
    case ReadFileStatus::ReadError:
        return Failure(LogLoadStatus::NotXml, "read error in " + path);
    }
    if (!buffer.empty() && buffer.back() != '\n') {
        buffer += '\n';
    }
    return {};
}

} // namespace

CLogLoader::CLogLoader(LogLoadTargets targets) : m_targets(std::move(targets)) {}

LogLoadResult CLogLoader::Load(const std::string& path) {
    std::string buffer;
    LogLoadResult result = ReadLogFile(path, buffer);
    if (!result) {
        return result;
    }
    return LoadBuffer(buffer);
}

LogLoadResult CLogLoader::LoadText(std::string_view text) {
    std::string buffer(text);
    return LoadBuffer(buffer);
}

std::vector<std::string> CLogLoader::TeamNames(const pugi::xml_node& teamMembers) {
    std::vector<std::string> names;
    for (pugi::xml_node member = teamMembers.first_child(); member;
         member = member.next_sibling()) {
        if (member.type() == pugi::node_element) {
            names.emplace_back(member.attribute("Name").as_string());
        }
    }
    return names;
}

LogLoadResult CLogLoader::LoadBuffer(std::string& buffer) {
    // Parsed in place: the document's texts point into the buffer, which saves a second copy
    // of what can be a very large file.
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_buffer_inplace(
        buffer.data(), buffer.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        return Failure(LogLoadStatus::NotXml, parsed.description(),
                       static_cast<size_t>(parsed.offset));
    }
    const pugi::xml_node root = doc.document_element();
    if (!root) {
        return Failure(LogLoadStatus::NotXml, "the document has no root element");
    }

    std::array<pugi::xml_node, kSectionCount> sections{};
    for (pugi::xml_node child = root.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element) {
            continue;
        }
        const std::string_view local = LocalName(child.name());
        for (size_t i = 0; i < kSectionCount; ++i) {
            if (local == kSectionNames[i]) {
                sections[i] = child; // a later section of the same name wins
            }
        }
    }
    std::string missing;
    for (size_t i = 0; i < kSectionCount; ++i) {
        if (!sections[i]) {
            missing += missing.empty() ? "missing section " : ", ";
            missing += kSectionNames[i];
        }
    }
    if (!missing.empty()) {
        return Failure(LogLoadStatus::Incomplete, missing);
    }

    if (m_targets.readScenario) {
        std::string error;
        if (!m_targets.readScenario(sections[kScenario], error)) {
            return Failure(
                LogLoadStatus::NotXml, error.empty() ? "the scenario could not be read" : error,
                static_cast<size_t>(std::max<ptrdiff_t>(0, sections[kScenario].offset_debug())));
        }
    }
    if (m_targets.loadTeam) {
        m_targets.loadTeam(TeamNames(sections[kTeamMembers]));
    }
    if (m_targets.events) {
        m_targets.events->LoadEvents(sections[kSimEvents]);
    }
    return {};
}

} // namespace halyx
