#pragma once

// The console's side of the measures: it asks the seats the probe plan's questions at their
// minutes (freezes hold the clock; in-view questions and workload ratings do not), takes each
// seat's answer once, works out what was true with its own station model of the mission (fed
// what the console sends and what the stations report, never a seat's word), scores the answer
// and writes every question and answer into the experiment log with the steady clock beside the
// wall time. A seat that does not answer in time is recorded as none and said so.
//
//   CProbeRunner probes(log, send);
//   probes.SetPlan(plan);
//   // at each tick, after clock_sync minute:  if (probes.Due(minute, team, false)) hold;
//   // at every tick:                          if (probes.Poll()) hold;

#include "station/probe.h"
#include "station/stationseat.h"
#include "study/probeplan.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace halyx {

class CExperimentLog;
class CParser;

class CProbeRunner {
public:
    using Sender = std::function<void(const std::string& receiver, const std::string& content)>;
    using Notes = std::function<void(const std::string& text)>;
    using SteadyClock = std::function<std::int64_t()>; // milliseconds, never stepping back
    static constexpr std::size_t kMaxOpen = 16;
    static constexpr const char* kWorldName = "console-truth";

    CProbeRunner(CExperimentLog& log, Sender send);

    void SetNotes(Notes notes) { m_notes = std::move(notes); }
    // A seat's row: frozen while a freeze (or the questionnaire) waits for its answer.
    using SeatStatus = std::function<void(const std::string& seat, bool frozen)>;
    void SetSeatStatus(SeatStatus status) { m_seatStatus = std::move(status); }
    void SetSteadyClock(SteadyClock clock) { m_steady = std::move(clock); }
    void SetPlan(const CProbePlan& plan) { m_plan = plan; }
    const CProbePlan& Plan() const { return m_plan; }

    // The world as the stations are told it (init_sim, start_sim, clock_sync) ...
    void WorldFromConsole(const std::string& console, const std::string& content);
    // ... and what the stations report of their units (deploys, interceptions, ...).
    void WorldFromStation(const std::string& sender, const std::string& command,
                          const CParser& content, int minute);
    // The console's own weather answer (weather_data) to a seat's get_weather: when it answers
    // the balloon the seat just deployed at that point, the world keeps what the seat was told.
    void WorldFromWeatherAnswer(const std::string& seat, const std::string& answer);

    // The mission's start and end: the steady clock beside the wall time in the log.
    void MissionStarted();
    void MissionEnded();

    // After the clock_sync of minute: asks what the plan has at that minute (at the end, the
    // questionnaire). True when the clock must hold.
    bool Due(int minute, const std::vector<std::string>& team, bool end);
    // "Freeze now" with the given probe (its minute is set to the clock's).
    bool FreezeNow(CProbe probe, int minute, const std::vector<std::string>& team);
    // Every tick: ends the probes whose time is up. True while a freeze holds the clock.
    bool Poll();
    bool Holding() const;
    // A seat's probe_answer.
    void Answer(const std::string& sender, const CParser& content);

    // For views: the probe that holds the clock, how many seats it asked and how many answered.
    struct Progress {
        std::string probe;
        std::size_t seats = 0;
        std::size_t answered = 0;
    };
    Progress FreezeProgress() const;
    std::size_t AnswersRecorded() const { return m_recorded; }

private:
    struct OpenProbe {
        CProbe probe;
        std::int64_t sentMs = 0;
        std::vector<std::string> waiting;
        std::size_t seats = 0;
    };
    bool Start(const CProbe& probe, const std::vector<std::string>& team);
    void Record(const OpenProbe& open, const std::string& seat, const CProbeAnswers* answers,
                std::int64_t nowMs);
    void Finish(const OpenProbe& open, std::int64_t nowMs);
    void Note(const std::string& text);
    // A message to the world, as from sender.
    void TellWorld(const std::string& sender, const std::string& content);
    void SeatFrozen(const OpenProbe& open, const std::string& seat, bool frozen);

    CExperimentLog& m_log;
    Sender m_send;
    Notes m_notes;
    SeatStatus m_seatStatus;
    SteadyClock m_steady;
    CProbePlan m_plan;
    CStationSeat m_world;
    std::vector<OpenProbe> m_open;
    std::set<std::string> m_asked; // probe IDs asked in this mission
    // Per team member, the whole-number point of a deploy_balloon whose weather is not yet
    // answered (the station asks for it right after).
    std::map<std::string, std::pair<int, int>> m_balloonAsked;
    int m_lastDue = -1;
    std::size_t m_recorded = 0;
    // Between MissionStarted and MissionEnded: the end is written once, however it comes.
    bool m_running = false;
};

} // namespace halyx
