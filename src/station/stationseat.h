#pragma once

// One seat of the team: reads what the console and the teammates send, keeps the seat's world
// (CSeatState), and answers with the commands it may send. A person's page and a bot are two
// faces of it: they call the actions below, and neither moves a unit itself.
//
//   CStationSeat seat("ALPHA");
//   seat.Receive(wireText);                       // a whole message as it arrived
//   CSeatResult r = seat.Deploy("I3", 400, 300);  // refused: r.ok false, r.reason says why
//   for (const COutgoing& m : seat.TakeOutbox()) send(m.receiver, m.content);
//
// A face that joins late takes State() whole; Revision() counts every change, and the observer
// hears each change with its number, so a face can resume from the last number it saw.

#include "station/seatstate.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyx {

class CParser;

struct COutgoing {
    std::string receiver;
    std::string performative; // "tell"
    std::string content;
};

struct CSeatResult {
    bool ok = true;
    std::string reason; // why it was refused
    static CSeatResult Refused(std::string why) { return {false, std::move(why)}; }
};

struct CSeatOptions {
    TeamPicture picture = TeamPicture::Team;
    // Fetches the map address of init_sim; answers "" when the map came, else what went wrong.
    // Without it the map is not fetched.
    std::function<std::string(const std::string& address)> fetchMap;
};

// Where an interceptor can first meet an incursion, and when.
struct CMeeting {
    int minute = 0;
    CLatLng point;
};

class CStationSeat {
public:
    using Observer = std::function<void(std::uint64_t revision, const std::string& what)>;

    // Limits that keep a hostile scenario or teammate from costing unbounded memory.
    static constexpr std::size_t kMaxUnits = 5000;   // of each kind
    static constexpr std::size_t kMaxChat = 500;     // lines kept
    static constexpr std::size_t kMaxNotes = 50;     // notes kept
    static constexpr std::size_t kMaxRecords = 2000; // balloons, requests
    static constexpr std::size_t kMaxChatBytes = 1000;
    // How close an interceptor must come to an incursion to intercept it: this radius plus
    // what it covers in a minute.
    static constexpr double kCaptureRadius = 10.0;

    explicit CStationSeat(std::string name, CSeatOptions options = {});

    // A whole message as it arrived. What cannot be read is counted and noted, never fatal.
    void Receive(std::string_view messageText);

    // --- the face's actions (refused while the mission does not run, and in playback) ---
    CSeatResult Activate(const std::string& interceptor);
    CSeatResult Deactivate(const std::string& interceptor);
    CSeatResult Deploy(const std::string& interceptor, double lat, double lng,
                       const std::string& target = {});
    CSeatResult Intercept(const std::string& interceptor, const std::string& incursion);
    CSeatResult Abort(const std::string& interceptor);
    CSeatResult DeployBalloon(double lat, double lng);
    CSeatResult AskWeather(double lat, double lng);
    // Asks the interceptor's owner to send it at the incursion.
    CSeatResult Request(const std::string& interceptor, const std::string& incursion);
    // Answers a teammate's request; accepting sends the interceptor at the incursion.
    CSeatResult AnswerRequest(const std::string& request, bool accept, const std::string& why = {});
    CSeatResult Chat(const std::string& to, const std::string& text);
    CSeatResult ReportGoNoGo(bool go);

    std::vector<COutgoing> TakeOutbox();
    const CSeatState& State() const { return m_state; }
    std::uint64_t Revision() const { return m_state.revision; }
    void SetObserver(Observer observer) { m_observer = std::move(observer); }
    const std::string& Name() const { return m_state.seat; }

    // --- the rules, for faces, bots and checks ---
    const CSeatInterceptor* FindInterceptor(const std::string& id) const;
    const CSeatIncursion* FindIncursion(const std::string& id) const;
    // Whether the seat's picture holds the incursion (a contact known since before minute
    // `before`; by default any contact), or with ownRadars, one of the seat's own radars does.
    bool Sees(const std::string& incursion, int before = kSeatLastMinute + 1,
              bool ownRadars = false) const;
    bool InLaunchZone(double lat, double lng) const;
    std::optional<CMeeting> Meeting(const CSeatInterceptor& craft, const CSeatIncursion& target,
                                    int minute) const;
    // The station (team member) nearest to a point, of those with a station location.
    std::string NearestSeat(double lat, double lng) const;

    static CLatLng IncursionAt(const CSeatIncursion& incursion, int minute);
    static CLatLng InterceptorAt(const CSeatInterceptor& craft, int minute);
    static bool Moving(const CSeatInterceptor& craft, int minute);
    static double Reach(const CSeatInterceptor& craft);
    static bool OnMap(double lat, double lng);
    static int GridCol(double lat);
    static int GridRow(double lng);
    // The station location of a position word in name (ALPHA, BRAVO, CHARLIE), if any.
    static std::optional<CLatLng> LocationOf(const std::string& name);

private:
    void Dispatch(const std::string& sender, const std::string& command, const CParser& content);
    void ReadScenario(const std::string& scenario);
    void ReadTeam(const std::string& team, const std::string& location);
    void AssignOwners();
    void ResetMission();
    void Advance(int minute);
    void UpdateContacts(bool tell);
    void AnswerWeather(const CParser& content);
    void FromTeammate(const std::string& sender, const std::string& command,
                      const CParser& content);
    void Replayed(const std::string& sender, const std::string& command, const CParser& content);
    void SendUnitDisplays();
    std::string MissionStats() const;

    CSeatResult CanAct() const;
    CSeatResult Own(const std::string& id, CSeatInterceptor*& craft);
    CSeatInterceptor* Interceptor(const std::string& id);
    CSeatIncursion* Incursion(const std::string& id);
    void Stop(CSeatInterceptor& craft, int minute);
    void StartLeg(CSeatInterceptor& craft, double lat, double lng, int minute);
    void MarkIntercepted(CSeatIncursion& target, const std::string& by, int minute);
    void AddContact(const CSeatContact& contact);
    void RemoveContact(const std::string& incursion, const std::string& radar);
    void AddChat(int minute, const std::string& from, const std::string& to, std::string text);

    void ToConsole(const std::string& content);
    void ToTeam(const std::string& content);
    void Note(const std::string& text);
    void Unreadable(const std::string& text);
    void Changed(const std::string& what);

    CSeatState m_state;
    CSeatOptions m_options;
    Observer m_observer;
    std::vector<COutgoing> m_outbox;
    std::vector<std::vector<char>> m_inRange; // own radar x incursion, at the seat's minute
    std::vector<int> m_trackSince;            // per incursion: first minute of the own track
    std::vector<bool> m_trackTold;
    int m_balloonCount = 0;
    int m_requestCount = 0;
    bool m_statsSent = false;
};

} // namespace halyx
