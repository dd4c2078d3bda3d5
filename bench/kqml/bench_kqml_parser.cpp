// Parser throughput on the traffic the console reads: typical station commands and a full
// init_sim scenario message, against a plain scan of the same bytes (memchr over every ')') as
// the physical bound. Figures: bytes/s and messages/s.
#include "external/kqml/framer.h"
#include "external/kqml/parser.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace halyx;

std::string Wire(const std::string& sender, const std::string& content) {
    return "(tell :sender " + sender +
           " :receiver HalyxCommand :language default-language :ontology default-ontology "
           ":content (" +
           content + "))";
}

std::vector<std::string> StationMessages() {
    return {
        Wire("S1", "tell :command deploy :resource interceptor :id I3 :destLat 412 :destLng 300 "
                   ":initLat 100 :initLng 250 :destGridCol 17 :destGridRow 25 :initGridCol 4 "
                   ":initGridRow 28"),
        Wire("S2", "tell :command get_weather :lat 100 :lng 95 :balloonID B7"),
        Wire("S1", "tell :command subject_communication :to S2 :message (radar two is down, "
                   "cover the north) :from S1"),
        Wire("S3", "tell :command intercept :resource interceptor :id I2 :incID B5 :intLat 300 "
                   ":intLng 400 :intGridCol 12 :intGridRow 18 :incLat 305 :incLng 402 "
                   ":incGridCol 12 :incGridRow 17"),
        Wire("S2", "tell :command update_go_nogo_status :status go"),
        Wire("S3", "tell :command activate :resource radar :id R1 :lat 200 :lng 300 :gridCol 8 "
                   ":gridRow 25"),
        Wire("S1", "tell :command inc_enter_radar :incID B5 :radarID R1"),
        Wire("S2", "tell :command deploy_balloon :destLat 500 :destLng 600 :gridCol 21 "
                   ":gridRow 3"),
    };
}

std::string InitSimMessage() {
    std::string radar = "tell :number 12";
    for (int i = 0; i < 12; ++i) {
        radar += " :" + std::to_string(i) + " (tell :name \"Radar " + std::to_string(i) +
                 "\" :lat " + std::to_string(50 + i * 70) + " :lon 400 :id R" + std::to_string(i) +
                 " :range 120.000000 :life 960 :owner ALPHA)";
    }
    std::string interceptors = "tell :number 12";
    for (int i = 0; i < 12; ++i) {
        interceptors += " :" + std::to_string(i) + " (tell :name \"Interceptor " +
                        std::to_string(i) + "\" :lat 300 :lon " + std::to_string(100 + i * 40) +
                        " :id I" + std::to_string(i) +
                        " :maxspeed 450.000000 :range 800.000000 :scope 60.000000 :minrange "
                        "5.000000)";
    }
    std::string incursions = "tell :number 60 ";
    for (int i = 0; i < 60; ++i) {
        incursions += " :" + std::to_string(i) + " (tell :id B" + std::to_string(i) +
                      " :lat 123.456000 :lon 456.789000 :heading 270 :speed 30 :name \"Boat " +
                      std::to_string(i) + "\")";
    }
    std::string terrain = "tell :number 40";
    for (int i = 0; i < 40; ++i) {
        terrain += " :" + std::to_string(i) + " (tell :code " + std::to_string(i) +
                   " :color 255,128,0 :name \"terrain " + std::to_string(i) + "\")";
    }
    std::string lines = "tell :north (tell :number 30";
    for (int i = 0; i < 30; ++i) {
        lines += " :" + std::to_string(i) + " (tell :lat " + std::to_string(i * 30) +
                 ".000000 :lng 500.000000)";
    }
    lines += ") :south (tell :number 30";
    for (int i = 0; i < 30; ++i) {
        lines += " :" + std::to_string(i) + " (tell :lat " + std::to_string(i * 30) +
                 ".000000 :lng 200.000000)";
    }
    lines += ")";
    std::string trajectory = "tell :number 100";
    for (int i = 0; i < 100; ++i) {
        trajectory += " :" + std::to_string(i) + " (tell :lat " + std::to_string(500 + i) +
                      ".000000 :lng " + std::to_string(300 + i) + ".000000)";
    }
    const std::string content =
        "ask :command init_sim :scenario (tell :map http://maps.example:8080/alpha.txt :terrain "
        "(" +
        terrain + ") :radar (" + radar + ") :interceptors (" + interceptors + ") :incursions (" +
        incursions + ") :impactlines (" + lines + ") :trajectory (" + trajectory + "))";
    return "(ask :sender HalyxCommand :receiver \"Alpha Station\" :language default-language "
           ":ontology default-ontology :content (" +
           content + "))";
}

// What the console does with every station message: the outer list, then the content and its
// command.
void BM_ParseStationMessages(benchmark::State& state) {
    const std::vector<std::string> messages = StationMessages();
    std::size_t bytes = 0;
    for (const std::string& m : messages) {
        bytes += m.size();
    }
    CParser outer;
    CParser content;
    for (auto _ : state) {
        for (const std::string& m : messages) {
            outer.parse_message(m);
            content.parse_message(outer.find_text("content"));
            benchmark::DoNotOptimize(content.find_text("command"));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * messages.size()));
}
BENCHMARK(BM_ParseStationMessages);

std::size_t ScanClosings(const std::string& m) {
    std::size_t count = 0;
    const char* p = m.data();
    const char* end = p + m.size();
    while (const void* hit = std::memchr(p, ')', static_cast<std::size_t>(end - p))) {
        ++count;
        p = static_cast<const char*>(hit) + 1;
    }
    return count;
}

void BM_MemchrStationMessages(benchmark::State& state) {
    const std::vector<std::string> messages = StationMessages();
    std::size_t bytes = 0;
    for (const std::string& m : messages) {
        bytes += m.size();
    }
    for (auto _ : state) {
        for (const std::string& m : messages) {
            benchmark::DoNotOptimize(ScanClosings(m));
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * messages.size()));
}
BENCHMARK(BM_MemchrStationMessages);

// The outer list of a scenario message, as the console's dispatcher reads every message.
void BM_ParseInitSimOuter(benchmark::State& state) {
    const std::string message = InitSimMessage();
    CParser parser;
    for (auto _ : state) {
        parser.parse_message(message);
        benchmark::DoNotOptimize(parser.find_sender());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(std::to_string(message.size()) + " bytes");
}
BENCHMARK(BM_ParseInitSimOuter);

// Every unit of a scenario message decoded, as a station reads it.
void BM_ParseInitSimEveryUnit(benchmark::State& state) {
    const std::string message = InitSimMessage();
    for (auto _ : state) {
        CParser outer;
        CParser content;
        CParser scenario;
        outer.parse_message(message);
        content.parse_message(outer.find_text("content"));
        scenario.parse_message(content.find_text("scenario"));
        for (const char* key : {"radar", "interceptors", "incursions", "terrain"}) {
            CParser list;
            list.parse_message(scenario.find_text(key));
            for (const CKqmlElement& element : list.elements()) {
                if (element.kind == KqmlElementKind::List) {
                    CParser unit;
                    unit.parse_message(list.element_source(element));
                    benchmark::DoNotOptimize(unit.find_text("name"));
                }
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseInitSimEveryUnit);

void BM_MemchrInitSim(benchmark::State& state) {
    const std::string message = InitSimMessage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScanClosings(message));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemchrInitSim);

// Cutting a received stream into messages, 4 KiB reads at a time.
void BM_FrameStationStream(benchmark::State& state) {
    std::string stream;
    std::size_t count = 0;
    while (stream.size() < (1u << 20)) {
        for (const std::string& m : StationMessages()) {
            stream += m + "\n";
            ++count;
        }
    }
    CKqmlFramer framer;
    std::vector<std::string> messages;
    std::vector<std::string> diagnostics;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += 4096) {
            framer.Feed(std::string_view(stream).substr(at, 4096), messages, diagnostics);
        }
        messages.clear();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}
BENCHMARK(BM_FrameStationStream);

} // namespace
