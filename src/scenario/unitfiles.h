#pragma once

#include "scenario/unitlist.h"

#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CArchiveReader;
class CArchiveWriter;
class CIncursion;
class CInterceptor;
class CRadar;

// Unit files (.hid incursions, .hrd radars, .hii interceptors): a signed 32-bit count, then that
// many records as each class's Serialize writes them, back to back, with no class tags.
//
// The file functions answer 0, or the errno code when the file cannot be created or opened (the
// list is then untouched). A file that breaks off, or a failed write, throws ArchiveError; after a
// failed read the list holds the units read completely so far.
//
// A unit file holding more units than kMaxUnitsPerFile is refused (ArchiveError at the count,
// before any unit is read): far beyond any scenario, and it bounds what a hostile file costs.
//
// T is CIncursion, CRadar or CInterceptor.
inline constexpr int kMaxUnitsPerFile = 100000;

template <class T> int WriteUnitFile(const std::string& path, const CUnitList<T>& list);
template <class T> int ReadUnitFile(const std::string& path, CUnitList<T>& list);

// The same layout in memory, for tests, fuzzers and the scenario files that embed it.
template <class T> void WriteUnits(CArchiveWriter& archive, const CUnitList<T>& list);
template <class T> void ReadUnits(CArchiveReader& archive, CUnitList<T>& list);
template <class T> std::vector<uint8_t> UnitFileBytes(const CUnitList<T>& list);
template <class T>
void ReadUnitFileBytes(std::span<const uint8_t> bytes, CUnitList<T>& list,
                       const std::string& fileName = {});

// Helpers the three unit classes share for their XML forms.

// Appends ` Name="value"` with value XML-escaped (bytes without markup are kept as they are).
void AppendXmlAttribute(std::string& out, const char* name, std::string_view value);

// Reads a unit element's attributes by name, noting whether any was missing.
class CUnitXmlFields {
public:
    explicit CUnitXmlFields(const pugi::xml_node& element) : m_element(element) {}
    std::string Text(const char* name);
    bool Complete() const { return m_complete; }

private:
    pugi::xml_node m_element;
    bool m_complete = true;
};

// The XML list form of a unit list: the opening tag, each unit's element followed by "\n", the
// closing tag.
template <class T>
std::string UnitListToXml(const CUnitList<T>& list, std::string_view openTag,
                          std::string_view closeTag) {
    std::string out(openTag);
    for (const T& unit : list) {
        out += unit.ToXml();
        out += '\n';
    }
    out += closeTag;
    return out;
}

// Empties the list, then adds one unit per child element, built by make(fields); observers hear
// one reset at the end.
template <class T, class Make>
UnitXmlResult ReadUnitListXml(const pugi::xml_node& node, CUnitList<T>& list, Make make) {
    list.ClearQuietly();
    UnitXmlResult result;
    for (const pugi::xml_node& element : node.children()) {
        if (element.type() != pugi::node_element) {
            continue;
        }
        CUnitXmlFields fields(element);
        list.AddQuietly(make(fields));
        ++result.units;
        result.incomplete += fields.Complete() ? 0 : 1;
    }
    list.NotifyReset();
    return result;
}

} // namespace halyx
