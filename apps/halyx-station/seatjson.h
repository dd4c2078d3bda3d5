#pragma once

// The seat as its page reads it, and the page's actions as the seat takes them. JSON both ways.

#include "station/probe.h"
#include "station/stationseat.h"

#include <QJsonArray>
#include <QJsonObject>

#include <functional>
#include <string>
#include <vector>

namespace halyx {

// The seat's whole state at its revision: what the seat's page draws. Incursions appear only
// while the seat's picture holds them.
QJsonObject SeatStateJson(const CStationSeat& seat);

// One action of the page: {"kind": "deploy", "unit": "I3", "lat": 400, "lng": 300} and so on
// (activate, deactivate, deploy, intercept, abort, balloon, weather, request, answer, chat,
// gonogo; a probe's answer goes through ReadProbeAction). An unknown kind or a missing value is
// refused with the reason.
CSeatResult SeatAction(CStationSeat& seat, const QJsonObject& action);

// The seat's open probes as its page shows them: id, kind, the seconds left to answer and the
// questions (id, text, answer kind, choices, scale). A question's fact names what the console
// scores against; it never reaches the page.
QJsonArray SeatProbesJson(const std::vector<CProbe>& open,
                          const std::function<int(const CProbe&)>& secondsLeft);

// The page's answer to an open probe: {"kind": "probe", "probe": "freeze-120", "answers":
// {"contacts": "3", ...}}. The answers come out in the probe's order, "" for a question left
// out. An unknown probe or question, a choice not offered, a number that is none or off its
// scale, or a value over 1000 bytes is refused with the reason.
CSeatResult ReadProbeAction(const std::vector<CProbe>& open, const QJsonObject& action,
                            std::string& probeId, CProbeAnswers& answers);

} // namespace halyx
