// What a tick costs the stations.
//
//   build/bin/bench_station
//
// Goals: the seat model applies a tick with 200 units in under 1 ms; in one program running 30
// bot seats (10 teams of three), each seat's reply to a tick (the clock, the bot's minute, the
// teammates' messages of that minute) takes under 10 ms, so that a tick every 200 ms leaves room;
// a web seat's tick with 200 units, its whole state for the page included, takes well under
// 50 ms / 30, so that one program can carry 30 web seats.

#include "station/seatbot.h"
#include "station/stationseat.h"

#include "seatjson.h"

#include <QJsonDocument>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace halyx {
namespace {

const char* const kSeats[] = {"ALPHA", "BRAVO", "CHARLIE"};

std::string Wire(const std::string& from, const std::string& to, const std::string& content) {
    return "(tell :sender " + from + " :receiver " + to + " :content (" + content + "))";
}

// A scenario of the given size, units spread over the map by a fixed draw.
std::string Scenario(int radars, int interceptors, int incursions) {
    std::uint64_t z = 12345;
    const auto next = [&z](int n) {
        z = z * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<int>((z >> 33) % static_cast<std::uint64_t>(n));
    };
    std::string text =
        "ask :command init_sim :scenario (tell :map none :terrain () :radar (tell :number " +
        std::to_string(radars);
    for (int i = 0; i < radars; ++i) {
        text += " :" + std::to_string(i) + " (tell :name \"Radar " + std::to_string(i) +
                "\" :lat " + std::to_string(next(950)) + " :lon " + std::to_string(95 + next(560)) +
                " :id R" + std::to_string(i) + " :range " + std::to_string(40 + next(120)) +
                " :life - :owner -)";
    }
    text += ") :interceptors (tell :number " + std::to_string(interceptors);
    for (int i = 0; i < interceptors; ++i) {
        text += " :" + std::to_string(i) + " (tell :name \"Craft " + std::to_string(i) +
                "\" :lat " + std::to_string(next(950)) + " :lon " + std::to_string(95 + next(560)) +
                " :id I" + std::to_string(i) + " :maxspeed " + std::to_string(50 + next(300)) +
                " :range 500 :scope sea :minrange 1)";
    }
    text += ") :incursions (tell :number " + std::to_string(incursions) + " ";
    for (int i = 0; i < incursions; ++i) {
        text += " :" + std::to_string(i) + " (tell :id N" + std::to_string(i) + " :lat " +
                std::to_string(next(950)) + " :lon " + std::to_string(95 + next(560)) +
                " :heading " + std::to_string(next(360)) + " :speed 60 :name \"Boat " +
                std::to_string(i) + "\")";
    }
    return text + ") :impactlines (tell :nline (tell :number 3 :0 (tell :lat 178 :lon 487) :1 "
                  "(tell :lat 556 :lon 561) :2 (tell :lat 816 :lon 211)) :sline (tell :number 2 "
                  ":0 (tell :lat 184 :lon 463) :1 (tell :lat 906 :lon 99))) :trajectory (tell "
                  ":number 3 :0 (tell :lat 184 :lon 472) :1 (tell :lat 520 :lon 359) :2 (tell "
                  ":lat 810 :lon 115)))";
}

std::string Start(int team) {
    std::string names;
    for (int i = 0; i < 3; ++i) {
        names += " :client" + std::to_string(i) + " " + kSeats[i] + std::to_string(team);
    }
    return "tell :command start_sim :clock 1 :scenario (none) :team (tell :number 3" + names +
           ")  :stationlocation (none)";
}

std::string Clock(int minute) {
    return "tell :command clock_sync :clock " + std::to_string(minute);
}

void BM_SeatTick200Units(benchmark::State& state) {
    CStationSeat seat("ALPHA0");
    seat.Receive(Wire("CON", "ALPHA0", Scenario(50, 50, 100)));
    seat.Receive(Wire("CON", "ALPHA0", Start(0)));
    std::vector<std::string> ticks;
    for (int m = 0; m <= 960; ++m) {
        ticks.push_back(Wire("CON", "ALPHA0", Clock(m)));
    }
    std::size_t m = 0;
    for (auto _ : state) {
        seat.Receive(ticks[m]);
        benchmark::DoNotOptimize(seat.TakeOutbox());
        m = (m + 1) % ticks.size();
    }
}
BENCHMARK(BM_SeatTick200Units)->Unit(benchmark::kMicrosecond);

// A web seat's tick: the model's tick and the whole state its page gets, as the JSON text that is
// written to the stream. Thirty web seats in one program pay this thirty times a tick.
void BM_WebSeatTick200Units(benchmark::State& state) {
    CStationSeat seat("ALPHA0");
    seat.Receive(Wire("CON", "ALPHA0", Scenario(50, 50, 100)));
    seat.Receive(Wire("CON", "ALPHA0", Start(0)));
    std::size_t bytes = 0;
    int m = 0;
    for (auto _ : state) {
        seat.Receive(Wire("CON", "ALPHA0", Clock(m)));
        benchmark::DoNotOptimize(seat.TakeOutbox());
        bytes = QJsonDocument(SeatStateJson(seat)).toJson(QJsonDocument::Compact).size();
        m = (m + 1) % 961;
    }
    state.counters["state_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_WebSeatTick200Units)->Unit(benchmark::kMicrosecond);

// The thread's processor time in milliseconds: on a shared machine the wall clock also counts
// the turns other programs took.
double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct BotSeat {
    std::unique_ptr<CStationSeat> seat;
    std::unique_ptr<CSeatBot> bot;
};

// One tick of 30 bot seats in one program: each seat takes the clock, its bot plays the minute,
// and what the seats send each other is delivered. The counters are the slowest seat's reply to a
// tick (clock and bot) and the slowest handling of one teammate's message, in processor time,
// and the slowest reply on the wall clock.
void BM_ThirtyBotSeats(benchmark::State& state) {
    const std::string scenario = Scenario(12, 13, 9);
    std::vector<BotSeat> seats;
    for (int team = 0; team < 10; ++team) {
        for (int i = 0; i < 3; ++i) {
            const std::string name = kSeats[i] + std::to_string(team);
            BotSeat s{std::make_unique<CStationSeat>(name), std::make_unique<CSeatBot>(7)};
            s.seat->Receive(Wire("CON", name, scenario));
            s.seat->Receive(Wire("CON", name, Start(team)));
            s.seat->TakeOutbox();
            seats.push_back(std::move(s));
        }
    }
    double slowestTick = 0.0;
    double slowestMessage = 0.0;
    double slowestWall = 0.0;
    int minute = 0;
    for (auto _ : state) {
        std::vector<COutgoing> mail;
        std::vector<std::string> from;
        for (BotSeat& s : seats) {
            const auto begin = std::chrono::steady_clock::now();
            const double cpu = CpuMs();
            s.seat->Receive(Wire("CON", s.seat->Name(), Clock(minute)));
            s.bot->Play(*s.seat);
            for (COutgoing& out : s.seat->TakeOutbox()) {
                from.push_back(s.seat->Name());
                mail.push_back(std::move(out));
            }
            slowestTick = std::max(slowestTick, CpuMs() - cpu);
            slowestWall = std::max(slowestWall, std::chrono::duration<double, std::milli>(
                                                    std::chrono::steady_clock::now() - begin)
                                                    .count());
        }
        for (std::size_t i = 0; i < mail.size(); ++i) {
            for (BotSeat& s : seats) {
                if (s.seat->Name() == mail[i].receiver) {
                    const double cpu = CpuMs();
                    s.seat->Receive(Wire(from[i], mail[i].receiver, mail[i].content));
                    s.seat->TakeOutbox();
                    slowestMessage = std::max(slowestMessage, CpuMs() - cpu);
                }
            }
        }
        minute = (minute + 1) % 961;
    }
    state.counters["slowest_tick_cpu_ms"] = slowestTick;
    state.counters["slowest_message_cpu_ms"] = slowestMessage;
    state.counters["slowest_tick_wall_ms"] = slowestWall;
}
BENCHMARK(BM_ThirtyBotSeats)->Unit(benchmark::kMillisecond)->Iterations(961);

} // namespace
} // namespace halyx
