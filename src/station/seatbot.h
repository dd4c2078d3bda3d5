#pragma once

// A bot that plays one seat as a sensible teammate would: it sends the nearest free interceptor
// at an incursion the seat sees, asks a teammate when none of its own can get there, answers the
// teammates' requests, sends balloons under the trajectory, reports go or no-go from what it sees
// and says so in short chat lines.
//
//   CSeatBot bot(seed);
//   seat.Receive(clockSync);
//   bot.Play(seat);            // the minute's decisions, as the seat's own actions
//
// It decides at minute N from what the seat knew before N (contacts, teammates' orders and
// requests stamped with an earlier minute), so its commands do not depend on how fast a
// teammate's message travelled; the seed only varies where balloons rise.

#include <cstdint>
#include <set>
#include <string>

namespace halyx {

class CStationSeat;
struct CSeatInterceptor;

class CSeatBot {
public:
    // Wind speed above which a balloon's weather makes the bot say no-go.
    static constexpr double kBadWindSpeed = 100.0;
    // Minutes of the balloon round: one balloon per seat every so often, from minute 10.
    static constexpr int kBalloonEvery = 120;
    // The last minute at which the bot reports a changed go/no-go.
    static constexpr int kLastReport = 950;

    explicit CSeatBot(std::uint64_t seed) : m_seed(seed) {}

    // Plays the seat's current minute once; later calls in the same minute do nothing.
    void Play(CStationSeat& seat);

private:
    void AnswerRequests(CStationSeat& seat, int minute);
    void Intercept(CStationSeat& seat, int minute);
    void Assign(CStationSeat& seat, int minute);
    void Balloon(CStationSeat& seat, int minute);
    void GoNoGo(CStationSeat& seat, int minute);
    bool Busy(const CStationSeat& seat, const CSeatInterceptor& craft, int minute) const;
    std::uint64_t Draw(const std::string& seat, int minute, std::uint64_t salt) const;

    std::uint64_t m_seed;
    int m_lastMinute = -1;
    std::string m_reported;
    int m_reportedMinute = -1000;
    std::set<std::string> m_asked; // "interceptor\nincursion" pairs asked for already
};

} // namespace halyx
