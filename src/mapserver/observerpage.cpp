#include "mapserver/observeraccess.h"

namespace halyx {

namespace {

// The page draws the state it is sent (see mission/missionjson.h): incursions, resources,
// radar contacts and the marks of the last minutes, each station in its colour (the window's:
// the timeline's colours in the same order), marks fading with age. Texts from the stations
// (chat, names, ids) only ever reach the page as text nodes, never as markup.
constexpr const char* kPage = R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Mission Picture</title>
<style>
body { margin: 0; font: 14px sans-serif; background: #f4f4f2; color: #222; display: flex; }
#side { width: 300px; padding: 10px; box-sizing: border-box; }
#picture { flex: 1; height: 100vh; background: #dfe8ee; }
h1 { font-size: 18px; margin: 0 0 8px 0; }
#minute { font-size: 28px; font-weight: bold; }
#connection { font-size: 12px; color: #777; }
.station { display: flex; align-items: center; margin: 2px 0; }
.light { width: 12px; height: 12px; border-radius: 6px; margin-right: 6px; background: #999; }
.light.go { background: #1a9c35; }
.light.nogo { background: #d22; }
#chat div { margin: 2px 0; font-size: 13px; overflow-wrap: anywhere; }
#chat .who { color: #555; }
</style>
</head>
<body>
<div id="side">
<h1>Mission Picture</h1>
<div>Minute <span id="minute">-</span></div>
<div id="notes"></div>
<div id="connection">connecting</div>
<h2 style="font-size:15px">Stations</h2>
<div id="stations"></div>
<h2 style="font-size:15px" id="chat-title">Chat</h2>
<div id="chat"></div>
</div>
<svg id="picture" xmlns="http://www.w3.org/2000/svg" viewBox="0 0 1000 700"
     preserveAspectRatio="xMidYMid meet"></svg>
<script>
"use strict";
const SVG = "http://www.w3.org/2000/svg";
const W = 1000, H = 700, PAD = 30, TRAIL = 30;
const stationColours = ["#1f5fbf", "#f08c00", "#8e24aa", "#00897b", "#b0a800", "#00a5c0"];
const consoleColour = "#424242";
let frame = null;

function colourOf(station) {
  return typeof station === "number" && station >= 0
      ? stationColours[station % stationColours.length] : consoleColour;
}

function isPoint(p) {
  return Array.isArray(p) && p.length === 2 && typeof p[0] === "number" &&
         typeof p[1] === "number" && isFinite(p[0]) && isFinite(p[1]);
}

function el(name, attrs, parent) {
  const e = document.createElementNS(SVG, name);
  for (const k of Object.keys(attrs)) { e.setAttribute(k, String(attrs[k])); }
  parent.appendChild(e);
  return e;
}

function titled(e, text) {
  el("title", {}, e).textContent = text;
  return e;
}

// The frame grows to hold every point met and never shrinks, so marks stay where they were.
function grow(points) {
  for (const p of points) {
    if (!frame) { frame = {west: p[1], east: p[1], south: p[0], north: p[0]}; continue; }
    frame.west = Math.min(frame.west, p[1]); frame.east = Math.max(frame.east, p[1]);
    frame.south = Math.min(frame.south, p[0]); frame.north = Math.max(frame.north, p[0]);
  }
}

function stationName(state, index) {
  const s = Array.isArray(state.stations) ? state.stations[index] : undefined;
  return s && s.name !== undefined ? String(s.name) : "console";
}

function drawPicture(state) {
  const incursions = Array.isArray(state.incursions) ? state.incursions : [];
  const resources = Array.isArray(state.resources) ? state.resources : [];
  const marks = Array.isArray(state.marks) ? state.marks : [];
  const contacts = Array.isArray(state.contacts) ? state.contacts : [];
  const f = state.frame;
  if (f && [f.west, f.east, f.south, f.north].every(v => typeof v === "number")) {
    grow([[f.south, f.west], [f.north, f.east]]);
  }
  grow(incursions.map(i => i.at).filter(isPoint));
  grow(resources.map(r => r.at).filter(isPoint));
  grow(marks.map(m => m.at).filter(isPoint));
  grow(marks.map(m => m.to).filter(isPoint));
  const b = frame || {west: -1, east: 1, south: -1, north: 1};
  const mx = Math.max((b.east - b.west) * 0.05, 0.05), my = Math.max((b.north - b.south) * 0.05, 0.05);
  const west = b.west - mx, south = b.south - my;
  const s = Math.min((W - 2 * PAD) / (b.east - b.west + 2 * mx),
                     (H - 2 * PAD) / (b.north - b.south + 2 * my));
  const x = p => PAD + (p[1] - west) * s;
  const y = p => H - PAD - (p[0] - south) * s;

  const svg = document.getElementById("picture");
  while (svg.firstChild) { svg.removeChild(svg.firstChild); }
  el("rect", {x: 0, y: 0, width: W, height: H, fill: "#dfe8ee"}, svg);
  const lineLayer = el("g", {id: "lines"}, svg);
  const geography = state.lines && typeof state.lines === "object" ? state.lines : {};
  for (const [name, colour] of [["north", "#8d6e63"], ["south", "#8d6e63"],
                                ["trajectory", "#1565c0"]]) {
    const points = Array.isArray(geography[name]) ? geography[name].filter(isPoint) : [];
    if (points.length > 1) {
      titled(el("polyline", {points: points.map(p => x(p) + "," + y(p)).join(" "), fill: "none",
                             stroke: colour, "stroke-width": name === "trajectory" ? 2 : 1.5,
                             "stroke-dasharray": name === "trajectory" ? "8 4" : ""}, lineLayer),
             name === "trajectory" ? "launch trajectory" : name + "ern impact line");
    }
  }
  const contactLayer = el("g", {id: "contacts"}, svg);
  const markLayer = el("g", {id: "marks"}, svg);
  const unitLayer = el("g", {id: "units"}, svg);

  const where = {};
  for (const r of resources) { if (isPoint(r.at)) { where[r.id] = r.at; } }
  for (const i of incursions) { if (isPoint(i.at)) { where[i.id] = i.at; } }
  for (const c of contacts) {
    const from = where[c.radar], to = where[c.inc];
    if (isPoint(from) && isPoint(to)) {
      titled(el("line", {x1: x(from), y1: y(from), x2: x(to), y2: y(to), stroke: "#757575",
                         "stroke-dasharray": "3 3", "data-command": "inc_enter_radar"},
                contactLayer), "radar " + c.radar + " holds " + c.inc + " since minute " + c.since);
    }
  }
  const now = typeof state.minute === "number" ? state.minute : 0;
  for (const m of marks) {
    if (!isPoint(m.at)) { continue; }
    const colour = colourOf(m.station);
    const age = Math.max(0, Math.min(1, (now - m.minute) / TRAIL));
    const opacity = 1 - 0.75 * age;
    const kind = String(m.kind);
    if (isPoint(m.to)) {
      el("line", {x1: x(m.to), y1: y(m.to), x2: x(m.at), y2: y(m.at), stroke: colour,
                  "stroke-opacity": opacity, "stroke-width": 1.6, "data-command": kind},
         markLayer);
    }
    titled(el("circle", {cx: x(m.at), cy: y(m.at), r: 5, fill: colour, "fill-opacity": opacity,
                         stroke: "#000", "stroke-width": 0.5, "data-command": kind}, markLayer),
           stationName(state, m.station) + ": " + kind + " at minute " + m.minute + "\n" +
               m.at[0] + ", " + m.at[1]);
  }
  for (const r of resources) {
    if (!isPoint(r.at)) { continue; }
    const colour = colourOf(r.station);
    const size = 6;
    const radar = String(r.type).toLowerCase() === "radar";
    const e = radar
        ? el("rect", {x: x(r.at) - size, y: y(r.at) - size, width: 2 * size, height: 2 * size,
                      fill: "#fff", stroke: colour, "stroke-width": 2}, unitLayer)
        : el("polygon", {points: [[x(r.at), y(r.at) - size], [x(r.at) + size, y(r.at) + size],
                                  [x(r.at) - size, y(r.at) + size]].map(q => q.join(",")).join(" "),
                         fill: "#fff", stroke: colour, "stroke-width": 2}, unitLayer);
    e.setAttribute("data-unit", String(r.type));
    titled(e, r.type + " " + r.id + ": " + r.state +
               (r.station >= 0 ? " (" + stationName(state, r.station) + ")" : "") +
               (r.target ? " -> " + r.target : ""));
  }
  for (const i of incursions) {
    if (!isPoint(i.at)) { continue; }
    const g = el("g", {"data-unit": "incursion"}, unitLayer);
    el("circle", {cx: x(i.at), cy: y(i.at), r: 5, fill: "#d32f2f"}, g);
    if (typeof i.heading === "number") {
      const a = (90 - i.heading) * Math.PI / 180;
      el("line", {x1: x(i.at), y1: y(i.at), x2: x(i.at) + 16 * Math.cos(a),
                  y2: y(i.at) - 16 * Math.sin(a), stroke: "#d32f2f", "stroke-width": 2}, g);
    }
    titled(g, "incursion " + i.id + " heading " + i.heading);
  }
}

function drawSide(state) {
  document.getElementById("minute").textContent =
      typeof state.minute === "number" ? String(state.minute) : "-";
  const notes = [];
  if (state.paused) { notes.push("paused"); }
  if (state.decision) { notes.push("decision: " + state.decision); }
  document.getElementById("notes").textContent = notes.join(", ");
  const stations = document.getElementById("stations");
  while (stations.firstChild) { stations.removeChild(stations.firstChild); }
  const list = Array.isArray(state.stations) ? state.stations : [];
  list.forEach((st, index) => {
    const row = document.createElement("div");
    row.className = "station";
    const light = document.createElement("span");
    const status = String(st.goNoGo || "").toLowerCase();
    light.className = "light " + (status === "go" ? "go" : status === "nogo" ? "nogo" : "");
    light.style.outline = "3px solid " + colourOf(index);
    const label = document.createElement("span");
    label.textContent = String(st.name) + (status ? " " + status : "");
    row.appendChild(light);
    row.appendChild(label);
    stations.appendChild(row);
  });
  const chat = document.getElementById("chat");
  while (chat.firstChild) { chat.removeChild(chat.firstChild); }
  const hasChat = Array.isArray(state.chat);
  document.getElementById("chat-title").style.display = hasChat ? "" : "none";
  for (const line of hasChat ? state.chat : []) {
    const row = document.createElement("div");
    const who = document.createElement("span");
    who.className = "who";
    who.textContent = "[" + line.minute + "] " + stationName(state, line.station) + ": ";
    row.appendChild(who);
    row.appendChild(document.createTextNode(String(line.text)));
    chat.appendChild(row);
  }
}

const key = new URLSearchParams(location.search).get("key") || "";
const source = new EventSource("/live/events?key=" + encodeURIComponent(key));
const connection = document.getElementById("connection");
source.onopen = () => { connection.textContent = "live"; };
source.onerror = () => { connection.textContent = "reconnecting"; };
source.addEventListener("state", event => {
  let state;
  try { state = JSON.parse(event.data); } catch (e) { return; }
  if (!state || typeof state !== "object") { return; }
  drawSide(state);
  drawPicture(state);
});
</script>
</body>
</html>
)HTML";

} // namespace

const std::string& ObserverPageHtml() {
    static const std::string page = kPage;
    return page;
}

} // namespace halyx
