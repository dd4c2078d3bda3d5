#pragma once

// The seat as its page reads it, and the page's actions as the seat takes them. JSON both ways.

#include "station/stationseat.h"

#include <QJsonObject>

#include <string>

namespace halyx {

// The seat's whole state at its revision: what the seat's page draws. Incursions appear only
// while the seat's picture holds them.
QJsonObject SeatStateJson(const CStationSeat& seat);

// One action of the page: {"kind": "deploy", "unit": "I3", "lat": 400, "lng": 300} and so on
// (activate, deactivate, deploy, intercept, abort, balloon, weather, request, answer, chat,
// gonogo). An unknown kind or a missing value is refused with the reason.
CSeatResult SeatAction(CStationSeat& seat, const QJsonObject& action);

} // namespace halyx
