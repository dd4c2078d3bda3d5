#pragma once

// What one seat of the team knows of the mission: the units as the console sent them, where
// they are at the seat's minute, the radar contacts of the team, balloons, requests, chat and
// the go/no-go reports. Plain data: a face shows it, a bot reads it, neither changes it (the
// seat does, CStationSeat).

#include "external/maplib/latlng.h"
#include "external/maplib/terrain.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace halyx {

// The minute at which the launch window closes.
inline constexpr int kSeatLastMinute = 960;

struct CSeatRadar {
    std::string id;
    std::string name;
    std::string owner; // the seat that commands it ("" when nobody in the team does)
    double lat = 0.0;
    double lng = 0.0;
    double range = 0.0;
};

struct CSeatInterceptor {
    std::string id;
    std::string name;
    std::string owner;
    std::string scope;
    double homeLat = 0.0;
    double homeLng = 0.0;
    double speed = 0.0; // map units per hour
    double range = 0.0; // farthest distance from home it may be sent (0: no limit)
    double minRange = 0.0;
    bool active = false;
    bool moving = false; // deployed and not yet at its destination, nor stopped
    // The leg it is on: from (fromLat, fromLng) at fromMinute toward (destLat, destLng).
    double fromLat = 0.0;
    double fromLng = 0.0;
    int fromMinute = 0;
    double destLat = 0.0;
    double destLng = 0.0;
    std::string target; // the incursion it was sent at, when known
    int stamp = 0;      // the minute of its last order (deploy, intercept, abort)
    double lat = 0.0;   // where it is at the seat's minute
    double lng = 0.0;
    // The owner's tally, for mission_stats.
    int activations = 0;
    int deploys = 0;
    int intercepts = 0;
    int activeMinutes = 0;
    int taskMinutes = 0;
};

struct CSeatIncursion {
    std::string id;
    std::string name;
    double lat0 = 0.0; // where the console placed it at minute 0
    double lng0 = 0.0;
    double speed = 0.0;
    double heading = 0.0; // degrees
    double sinHeading = 0.0;
    double cosHeading = 1.0;
    int startMinute = 0;
    double lat = 0.0; // where it is at the seat's minute
    double lng = 0.0;
    bool intercepted = false;
    int interceptedMinute = -1;
    std::string interceptedBy; // the interceptor's ID
};

// One incursion inside one radar's range, as its owner reported it (or this seat saw it).
struct CSeatContact {
    std::string incursion;
    std::string radar;
    std::string seat;
    int since = 0;
};

// A weather balloon, or a plain weather query (balloon false), and the answer it brought.
struct CSeatBalloon {
    std::string id;
    std::string seat;
    bool balloon = true;
    double lat = 0.0;
    double lng = 0.0;
    int minute = 0;
    bool answered = false;
    bool noData = false;
    double temperature = 0.0;
    double pressure = 0.0;
    double humidity = 0.0;
    double windSpeed = 0.0;
    double windDir = 0.0;
};

enum class RequestState { Open, Accepted, Refused };

// A seat asking a teammate for one of the teammate's interceptors, sent at an incursion.
struct CSeatRequest {
    std::string id; // "<asking seat>-<n>", unique in the team
    std::string from;
    std::string to;
    std::string interceptor;
    std::string incursion;
    int minute = 0;
    RequestState state = RequestState::Open;
    std::string reason; // why it was refused
    int answeredMinute = -1;
};

struct CSeatChat {
    int minute = 0;
    std::string from;
    std::string to;
    std::string text;
};

enum class SeatPhase { Idle, Initialized, Running, Complete, Playback };

// What a seat sees of its teammates' radar contacts.
enum class TeamPicture { Team, Own };

struct CSeatState {
    std::string seat;
    std::string console;
    std::vector<std::string> team;
    SeatPhase phase = SeatPhase::Idle;
    bool playback = false;
    TeamPicture picture = TeamPicture::Team;
    int minute = 0;
    bool hasLocation = false;
    CLatLng location;
    std::string mapAddress;
    std::string mapError;
    CTerrainTable terrain; // the colours the console draws its maps in, for the seat's map picture

    std::vector<CSeatRadar> radars;
    std::vector<CSeatInterceptor> interceptors;
    std::vector<CSeatIncursion> incursions;
    CLatLngList northLine;
    CLatLngList southLine;
    CLatLngList trajectory;

    std::vector<CSeatContact> contacts; // every contact this seat knows of, its own first
    std::vector<CSeatBalloon> balloons;
    std::vector<CSeatRequest> requests;
    std::vector<CSeatChat> chat;               // the last kMaxChat lines
    std::map<std::string, std::string> goNoGo; // station -> last status it reported
    std::string missionText;                   // mission_complete's text

    int unreadable = 0;             // messages that could not be read, all told
    std::vector<std::string> notes; // the last few things refused or unreadable, said in words
    std::uint64_t revision = 0;     // counts every change
};

} // namespace halyx
