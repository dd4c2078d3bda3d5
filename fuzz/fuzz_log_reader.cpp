// Any text read as an experiment log for analysis. Events in the log's own shape are read
// straight from the text, any other shape through the XML parser: whatever the bytes, the reader
// never reads outside them, and for a text that parses as a whole it hands on exactly the events
// (name, attributes in order, text) of the last SimEvents section read in one piece.
#include "fuzzcheck.h"
#include "record/logreader.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace halyx;
using fuzz::Check;

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string_view LocalName(std::string_view name) {
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view TrimLineBreaks(std::string_view text) {
    if (text.starts_with("\r\n")) {
        text.remove_prefix(2);
    } else if (text.starts_with('\n')) {
        text.remove_prefix(1);
    }
    if (text.ends_with("\r\n")) {
        text.remove_suffix(2);
    } else if (text.ends_with('\n')) {
        text.remove_suffix(1);
    }
    return text;
}

struct Event {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::string text;
    bool operator==(const Event&) const = default;
};

// The events of the root's last SimEvents section, from the whole document.
bool EventsOfWholeText(std::string_view text, std::vector<Event>& events) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8)) {
        return false;
    }
    pugi::xml_node section;
    for (pugi::xml_node child : doc.document_element().children()) {
        if (child.type() == pugi::node_element && LocalName(child.name()) == "SimEvents") {
            section = child;
        }
    }
    for (pugi::xml_node node : section.children()) {
        if (node.type() != pugi::node_element || LocalName(node.name()) != "Event") {
            continue;
        }
        Event e;
        for (pugi::xml_attribute a : node.attributes()) {
            e.attributes.emplace_back(a.name(), a.value());
            if (e.name.empty() && std::string_view(a.name()) == "Name") {
                e.name = a.value();
            }
        }
        if (e.name.empty()) {
            continue;
        }
        e.text = TrimLineBreaks(
            node.first_child().type() == pugi::node_pcdata ? node.first_child().value() : "");
        events.push_back(std::move(e));
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CLogReader reader;
    if (!reader.OpenText(text)) {
        return 0;
    }
    std::vector<Event> read;
    const LogLoadResult visited = reader.ForEachEvent([&](const CLogEventView& view) {
        Event e;
        e.name = view.name;
        for (const auto& [name, value] : view.attributes) {
            e.attributes.emplace_back(name, value);
        }
        e.text = view.text;
        read.push_back(std::move(e));
    });
    (void)reader.EventAttributeNames();
    std::vector<Event> whole;
    if (!reader.Info().repaired && EventsOfWholeText(text, whole)) {
        Check(static_cast<bool>(visited));
        Check(read == whole);
    }
    return 0;
}
