// Any text read as the two texts of a scenario: its XML form (as embedded in an experiment log)
// and its scenario file (.hsf). Whatever the XML held, the scenario it gave writes out as XML
// that parses and, once normalised, reads back to the same XML; a scenario file that reads writes
// out as a text that reads back to the same fields.
#include "common/archive.h"
#include "fuzzcheck.h"
#include "scenario/scenario.h"
#include "scenario/scenariofileset.h"
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

// The log loader parses with these options.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// An empty grid of the weather page's shape (every layer, no cells), the same for every scenario
// made here, so that two reads of the same XML give the same grid. Read from a weather file
// rather than generated: generating the cells costs more than the rest of a run. The weather
// reader takes only the whole grid, so the file holds every slot.
void PrepareWeather(CScenario& scenario) {
    static const std::vector<std::uint8_t> emptyGrid = [] {
        constexpr int kSlots = CWeatherMap::kLayers * CWeatherMap::kCellsPerLayer;
        CArchiveWriter out;
        out.WriteI32(CWeatherMap::kGridCols);
        out.WriteI32(CWeatherMap::kGridRows);
        out.WriteI32(kSlots);
        out.WriteObjectTag(CWeatherData::kClassName, CWeatherData::kSchema);
        CWeatherMap::SeasonReference(0).Serialize(out);
        out.WriteCount(kSlots);
        for (int slot = 0; slot < kSlots; ++slot) {
            out.WriteNullTag();
        }
        return out.TakeBytes();
    }();
    ReadWeatherFileBytes(emptyGrid, scenario.Weather());
}

std::string ReadAndWrite(const pugi::xml_node& element, bool withWeather) {
    CScenario scenario;
    if (withWeather) {
        PrepareWeather(scenario);
    }
    const CScenarioXmlResult result = ReadScenarioXml(element, scenario);
    for (const std::string& problem : result.problems) {
        Check(!problem.empty());
    }
    return ScenarioXml(scenario);
}

void FuzzScenarioXml(std::string_view text) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8)) {
        return;
    }
    const pugi::xml_node root = doc.document_element();
    if (!root) {
        return;
    }
    // Only texts that can reach the grid get one.
    const bool withWeather = text.find("WeatherMap") != std::string_view::npos;
    const std::string first = ReadAndWrite(root, withWeather);

    // What the scenario writes always parses. The first reading of it may still change it once:
    // a number too large for a double reads as infinity, written "inf", which reads as 0; a tab or
    // line break in an attribute value reads back as a blank. After that, nothing changes.
    pugi::xml_document firstDoc;
    Check(firstDoc.load_buffer(first.data(), first.size(), kParseOptions, pugi::encoding_utf8));
    const std::string written = ReadAndWrite(firstDoc.document_element(), withWeather);
    pugi::xml_document again;
    Check(again.load_buffer(written.data(), written.size(), kParseOptions, pugi::encoding_utf8));
    Check(ReadAndWrite(again.document_element(), withWeather) == written);
}

void FuzzScenarioFile(std::string_view text) {
    CScenarioFields fields;
    fields.name = "untouched";
    std::string error;
    if (!ReadScenarioFileText(text, fields, error)) {
        Check(!error.empty() && fields.name == "untouched");
        return;
    }
    fields.PathsComplete();
    // A line that ends in two carriage returns loses one on each reading, as either line end is
    // accepted; such a text cannot come back unchanged, and no program writes one.
    if (text.find("\r\r") != std::string_view::npos) {
        return;
    }
    // Writing gives paths '/' separators, so the texts are compared rather than the fields.
    const std::string written = ScenarioFileText(fields);
    CScenarioFields again;
    Check(ReadScenarioFileText(written, again, error));
    Check(ScenarioFileText(again) == written);
    Check(again.name == fields.name && again.notes == fields.notes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    FuzzScenarioXml(text);
    FuzzScenarioFile(text);
    return 0;
}
