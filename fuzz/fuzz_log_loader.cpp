// Any text loaded as an experiment log, the way the console loads one for playback: into a
// scenario, a team and the playback store. A log that does not load says so with one of its two
// fixed messages and an offset inside the text. A log that loads, and that parses as a whole,
// gives the playback store the same events as its last SimEvents section read in one piece: the
// loader reads long logs a piece at a time, and the pieces must not change what is replayed.
#include "fuzzcheck.h"
#include "record/logloader.h"
#include "record/simeventstore.h"
#include "scenario/scenario.h"
#include "scenario/scenarioxml.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace halyx;
using fuzz::Check;

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string_view LocalName(const char* name) {
    const std::string_view text(name);
    const std::size_t colon = text.rfind(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

// The events of the root's last SimEvents section, read from the whole document.
bool EventsOfWholeText(std::string_view text, CSimEventStore& store) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8)) {
        return false;
    }
    pugi::xml_node events;
    for (pugi::xml_node child : doc.document_element().children()) {
        if (child.type() == pugi::node_element && LocalName(child.name()) == "SimEvents") {
            events = child;
        }
    }
    store.LoadEvents(events);
    return true;
}

class CSilentSender final : public EventSender {
public:
    void SendKqml(const std::string&, const std::string&, const std::string&) override { ++sent; }
    void SendKqmlAs(const std::string&, const std::string&, const std::string&,
                    const std::string&) override {
        ++sent;
    }
    void BroadcastKqml(const std::string&) override { ++sent; }
    void BroadcastKqmlAs(const std::string&, const std::string&) override { ++sent; }
    std::size_t sent = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    CScenario scenario;
    std::vector<std::string> team;
    CSimEventStore store;
    CLogLoader loader({.readScenario =
                           [&](const pugi::xml_node& element, std::string&) {
                               ReadScenarioXml(element, scenario);
                               return true;
                           },
                       .loadTeam = [&](const std::vector<std::string>& names) { team = names; },
                       .events = &store});
    const LogLoadResult result = loader.LoadText(text);
    Check(result.offset <= size);
    switch (result.status) {
    case LogLoadStatus::Ok:
        Check(result.message.empty());
        break;
    case LogLoadStatus::NotXml:
        Check(result.message == kLogLoadErrorText);
        return 0;
    case LogLoadStatus::Incomplete:
        Check(result.message == kLogIncompleteText);
        return 0;
    case LogLoadStatus::CannotOpen:
    case LogLoadStatus::Canceled:
        std::abort(); // there is no file to open and nobody to cancel
    }

    CSimEventStore whole;
    if (EventsOfWholeText(text, whole)) {
        Check(whole.Count() == store.Count());
        for (std::size_t i = 0; i < store.Count(); ++i) {
            Check(whole.At(i) == store.At(i));
        }
    }
    // Playback releases every event once, whatever clock counts they carry.
    CSilentSender sender;
    for (std::size_t i = 0; i < store.Count() && !store.Exhausted(); ++i) {
        store.Release(store.At(store.CursorIndex()).clockTime, sender);
    }
    Check(store.Exhausted() && sender.sent == store.Count());
    return 0;
}
