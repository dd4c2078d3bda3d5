#include "mapserver/observeraccess.h"

namespace halyx {

namespace {

// The page draws the state it is sent (see mission/missionjson.h) over the console's map
// picture: incursions, resources, radar contacts and the marks of the last minutes, each station
// in its colour (the window's: the timeline's colours in the same order), marks fading with age,
// with a legend, and after the end the decision. Texts from the stations
// (chat, names, ids) only ever reach the page as text nodes, never as markup.
constexpr const char* kPage = R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Mission Picture</title>
<style>
html, body { height: 100%; }
body { margin: 0; font: 14px sans-serif; background: #f4f4f2; color: #222; display: grid;
       grid-template-columns: 300px minmax(0, 1fr); height: 100vh; overflow: hidden; }
#side { padding: 10px; box-sizing: border-box; overflow-y: auto; border-right: 1px solid #ccc; }
#picture { width: 100%; height: 100vh; display: block; background: #dfe8ee; }
h1 { font-size: 18px; margin: 0 0 8px 0; }
h2 { font-size: 15px; margin: 12px 0 4px 0; }
#minute { font-size: 28px; font-weight: bold; }
#over { display: none; margin: 6px 0; padding: 6px 8px; background: #263238; color: #fff; }
#over.shown { display: block; }
#over .what { font-size: 13px; }
#over .decision { font-size: 22px; font-weight: bold; }
#notes { min-height: 1.2em; }
#connection { font-size: 12px; color: #777; }
.station { display: flex; align-items: center; margin: 2px 0; }
.light { width: 12px; height: 12px; border-radius: 6px; margin-right: 6px; background: #999;
         flex: none; }
.light.go { background: #1a9c35; }
.light.nogo { background: #d22; }
#legend div { display: flex; align-items: center; margin: 2px 0; font-size: 13px; }
#legend svg { width: 22px; height: 14px; margin-right: 6px; flex: none; }
#chat div { margin: 2px 0; font-size: 13px; overflow-wrap: anywhere; }
#chat .who { color: #555; }
</style>
</head>
<body>
<div id="side">
<h1>Mission Picture</h1>
<div>Minute <span id="minute">-</span></div>
<div id="over"><div class="what">Mission over</div><div class="decision" id="decision"></div></div>
<div id="notes"></div>
<div id="connection">connecting</div>
<h2>Stations</h2>
<div id="stations"></div>
<h2>Legend</h2>
<div id="legend"></div>
<h2 id="chat-title">Chat</h2>
<div id="chat"></div>
</div>
<svg id="picture" xmlns="http://www.w3.org/2000/svg" viewBox="0 0 1000 700"
     preserveAspectRatio="xMidYMid meet"></svg>
<script type="module">
const SVG = "http://www.w3.org/2000/svg";
const TRAIL = 30;
const stationColours = ["#1f5fbf", "#f08c00", "#8e24aa", "#00897b", "#b0a800", "#00a5c0"];
const consoleColour = "#424242";
const key = new URLSearchParams(location.search).get("key") || "";
// The frame is the map's when there is one, else the one the console sends (the scenario's
// units and lines), taken once: marks never move it, so the picture stands still between loads.
let frame = null;
let frames = 0;
let state = null;

function colourOf(station) {
  return typeof station === "number" && station >= 0
      ? stationColours[station % stationColours.length] : consoleColour;
}

function isPoint(p) {
  return Array.isArray(p) && p.length === 2 && typeof p[0] === "number" &&
         typeof p[1] === "number" && isFinite(p[0]) && isFinite(p[1]);
}

function isNumber(v) { return typeof v === "number" && isFinite(v); }

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

function stationName(s, index) {
  const st = Array.isArray(s.stations) ? s.stations[index] : undefined;
  return st && st.name !== undefined ? String(st.name) : "console";
}

function decisionText(decision) {
  const d = String(decision);
  return d === "NoLaunch" ? "No Launch" : d;
}

function frameOf(s) {
  const m = s.map;
  if (m && [m.width, m.height, m.minLat, m.maxLat, m.minLng, m.maxLng].every(isNumber) &&
      m.width > 0 && m.height > 0 && m.maxLat !== m.minLat && m.maxLng !== m.minLng) {
    const W = m.width, H = m.height;
    return {W, H, picture: m.picture, unit: Math.max(W, H) / 1000,
            x: p => (p[0] - m.minLat) / (m.maxLat - m.minLat) * W,
            y: p => H - (p[1] - m.minLng) / (m.maxLng - m.minLng) * H};
  }
  const f = s.frame;
  const b = f && [f.west, f.east, f.south, f.north].every(isNumber)
      ? f : {west: -1, east: 1, south: -1, north: 1};
  const W = 1000, H = 700, PAD = 30;
  const mx = Math.max((b.east - b.west) * 0.05, 0.05), my = Math.max((b.north - b.south) * 0.05, 0.05);
  const west = b.west - mx, south = b.south - my;
  const k = Math.min((W - 2 * PAD) / (b.east - b.west + 2 * mx),
                     (H - 2 * PAD) / (b.north - b.south + 2 * my));
  return {W, H, picture: null, unit: 1, fromServer: !!f,
          x: p => PAD + (p[1] - west) * k, y: p => H - PAD - (p[0] - south) * k};
}

function drawPicture(s) {
  if (!frame || (s.map && frame.picture !== s.map.picture) || (!frame.fromServer && s.frame)) {
    frame = frameOf(s);
    frame.id = String(++frames);
  }
  const {W, H, x, y, unit} = frame;
  const incursions = Array.isArray(s.incursions) ? s.incursions : [];
  const resources = Array.isArray(s.resources) ? s.resources : [];
  const marks = Array.isArray(s.marks) ? s.marks : [];
  const contacts = Array.isArray(s.contacts) ? s.contacts : [];

  const root = document.getElementById("picture");
  // The map stays while the frame does: only what lies over it is drawn again.
  if (root.getAttribute("data-frame") !== frame.id) {
    while (root.firstChild) { root.removeChild(root.firstChild); }
    root.setAttribute("viewBox", "0 0 " + W + " " + H);
    root.setAttribute("data-frame", frame.id);
    el("rect", {x: 0, y: 0, width: W, height: H, fill: "#dfe8ee"}, root);
    if (frame.picture !== null && frame.picture !== undefined) {
      el("image", {id: "map", x: 0, y: 0, width: W, height: H, preserveAspectRatio: "none",
                   href: "/live/map.png?key=" + encodeURIComponent(key) + "&v=" + frame.picture},
         root);
    }
    el("g", {id: "over-map"}, root);
  }
  const svg = document.getElementById("over-map");
  while (svg.firstChild) { svg.removeChild(svg.firstChild); }
  const lineLayer = el("g", {id: "lines"}, svg);
  const geography = s.lines && typeof s.lines === "object" ? s.lines : {};
  for (const [name, colour] of [["north", "#8d6e63"], ["south", "#8d6e63"],
                                ["trajectory", "#1565c0"]]) {
    const points = Array.isArray(geography[name]) ? geography[name].filter(isPoint) : [];
    if (points.length > 1) {
      titled(el("polyline", {points: points.map(p => x(p) + "," + y(p)).join(" "), fill: "none",
                             stroke: colour, "stroke-width": (name === "trajectory" ? 2 : 1.5) * unit,
                             "stroke-dasharray": name === "trajectory" ? 8 * unit + " " + 4 * unit : ""},
                lineLayer),
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
                         "stroke-width": unit, "stroke-dasharray": 3 * unit + " " + 3 * unit,
                         "data-command": "inc_enter_radar"}, contactLayer),
             "radar " + c.radar + " holds " + c.inc + " since minute " + c.since);
    }
  }
  const now = typeof s.minute === "number" ? s.minute : 0;
  for (const m of marks) {
    if (!isPoint(m.at)) { continue; }
    const colour = colourOf(m.station);
    const age = Math.max(0, Math.min(1, (now - m.minute) / TRAIL));
    const opacity = 1 - 0.75 * age;
    const kind = String(m.kind);
    if (isPoint(m.to)) {
      el("line", {x1: x(m.to), y1: y(m.to), x2: x(m.at), y2: y(m.at), stroke: colour,
                  "stroke-opacity": opacity, "stroke-width": 1.6 * unit, "data-command": kind},
         markLayer);
    }
    titled(el("circle", {cx: x(m.at), cy: y(m.at), r: 5 * unit, fill: colour,
                         "fill-opacity": opacity, stroke: "#000", "stroke-width": 0.5 * unit,
                         "data-command": kind}, markLayer),
           stationName(s, m.station) + ": " + kind + " at minute " + m.minute + "\n" +
               m.at[0] + ", " + m.at[1]);
  }
  const size = 6 * unit;
  for (const r of resources) {
    if (!isPoint(r.at)) { continue; }
    const colour = colourOf(r.station);
    const radar = String(r.type).toLowerCase() === "radar";
    const px = x(r.at), py = y(r.at);
    const e = radar
        ? el("rect", {x: px - size, y: py - size, width: 2 * size, height: 2 * size,
                      fill: "#fff", stroke: colour, "stroke-width": 2 * unit}, unitLayer)
        : el("polygon", {points: [[px, py - size], [px + size, py + size], [px - size, py + size]]
                                     .map(q => q.join(",")).join(" "),
                         fill: "#fff", stroke: colour, "stroke-width": 2 * unit}, unitLayer);
    e.setAttribute("data-unit", String(r.type));
    titled(e, r.type + " " + r.id + ": " + r.state +
               (r.station >= 0 ? " (" + stationName(s, r.station) + ")" : "") +
               (r.target ? " -> " + r.target : ""));
  }
  for (const i of incursions) {
    if (!isPoint(i.at)) { continue; }
    const g = el("g", {"data-unit": "incursion"}, unitLayer);
    const px = x(i.at), py = y(i.at);
    el("circle", {cx: px, cy: py, r: 5 * unit, fill: "#d32f2f"}, g);
    if (typeof i.heading === "number") {
      // A step along the heading, drawn in the frame's own directions.
      const a = i.heading * Math.PI / 180, step = 0.01;
      const ahead = [i.at[0] + step * Math.sin(a), i.at[1] + step * Math.cos(a)];
      const dx = x(ahead) - px, dy = y(ahead) - py, len = Math.hypot(dx, dy);
      if (len > 0) {
        el("line", {x1: px, y1: py, x2: px + 16 * unit * dx / len, y2: py + 16 * unit * dy / len,
                    stroke: "#d32f2f", "stroke-width": 2 * unit}, g);
      }
    }
    titled(g, "incursion " + i.id + " heading " + i.heading);
  }
}

function drawSide(s) {
  document.getElementById("minute").textContent =
      typeof s.minute === "number" ? String(s.minute) : "-";
  const over = document.getElementById("over");
  over.className = s.decision ? "shown" : "";
  document.getElementById("decision").textContent = s.decision ? decisionText(s.decision) : "";
  const notes = [];
  if (s.paused && !s.decision) { notes.push("paused"); }
  const hidden = s.counts && isNumber(s.counts.overLimit) ? s.counts.overLimit : 0;
  if (hidden > 0) { notes.push(hidden + " commands about unknown units not shown"); }
  document.getElementById("notes").textContent = notes.join(", ");
  const stations = document.getElementById("stations");
  while (stations.firstChild) { stations.removeChild(stations.firstChild); }
  const list = Array.isArray(s.stations) ? s.stations : [];
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
  const hasChat = Array.isArray(s.chat);
  document.getElementById("chat-title").style.display = hasChat ? "" : "none";
  for (const line of hasChat ? s.chat : []) {
    const row = document.createElement("div");
    const who = document.createElement("span");
    who.className = "who";
    who.textContent = "[" + line.minute + "] " + stationName(s, line.station) + ": ";
    row.appendChild(who);
    row.appendChild(document.createTextNode(String(line.text)));
    chat.appendChild(row);
  }
}

function drawLegend() {
  const legend = document.getElementById("legend");
  const entries = [
    ["incursion and its heading", g => { el("circle", {cx: 7, cy: 7, r: 4, fill: "#d32f2f"}, g);
                                         el("line", {x1: 7, y1: 7, x2: 19, y2: 7, stroke: "#d32f2f",
                                                     "stroke-width": 2}, g); }],
    ["radar", g => el("rect", {x: 6, y: 2, width: 10, height: 10, fill: "#fff",
                               stroke: consoleColour, "stroke-width": 2}, g)],
    ["interceptor", g => el("polygon", {points: "11,2 16,12 6,12", fill: "#fff",
                                        stroke: consoleColour, "stroke-width": 2}, g)],
    ["a station's command (its colour), fading over " + TRAIL + " minutes",
     g => { el("circle", {cx: 6, cy: 7, r: 4, fill: stationColours[0]}, g);
            el("circle", {cx: 16, cy: 7, r: 4, fill: stationColours[0], "fill-opacity": 0.3}, g); }],
    ["radar contact", g => el("line", {x1: 1, y1: 7, x2: 21, y2: 7, stroke: "#757575",
                                       "stroke-dasharray": "3 3"}, g)],
    ["impact line", g => el("line", {x1: 1, y1: 7, x2: 21, y2: 7, stroke: "#8d6e63",
                                     "stroke-width": 1.5}, g)],
    ["launch trajectory", g => el("line", {x1: 1, y1: 7, x2: 21, y2: 7, stroke: "#1565c0",
                                           "stroke-width": 2, "stroke-dasharray": "6 3"}, g)],
  ];
  for (const [text, draw] of entries) {
    const row = document.createElement("div");
    const swatch = document.createElementNS(SVG, "svg");
    swatch.setAttribute("viewBox", "0 0 22 14");
    draw(swatch);
    row.appendChild(swatch);
    row.appendChild(document.createTextNode(text));
    legend.appendChild(row);
  }
}

// An update names the members that changed (null: gone); the marks come as how many of the
// oldest dropped out and which are new.
function merge(s, update) {
  const next = Object.assign({}, s);
  for (const [k, v] of Object.entries(update)) {
    if (k === "marksDrop" || k === "marksAdd") { continue; }
    if (v === null) { delete next[k]; } else { next[k] = v; }
  }
  if (typeof update.marksDrop === "number" || Array.isArray(update.marksAdd)) {
    const kept = Array.isArray(s.marks) ? s.marks.slice(update.marksDrop || 0) : [];
    next.marks = kept.concat(Array.isArray(update.marksAdd) ? update.marksAdd : []);
  }
  return next;
}

function show(s) {
  if (!s || typeof s !== "object") { return; }
  state = s;
  drawSide(state);
  drawPicture(state);
}

drawLegend();
const source = new EventSource("/live/events?key=" + encodeURIComponent(key));
const connection = document.getElementById("connection");
source.onopen = () => { connection.textContent = "live"; };
source.onerror = () => { connection.textContent = "reconnecting"; };
source.addEventListener("state", event => {
  try { show(JSON.parse(event.data)); } catch (e) { /* not a state: the next one replaces it */ }
});
source.addEventListener("update", event => {
  if (!state) { return; }
  try { show(merge(state, JSON.parse(event.data))); } catch (e) { /* the next state mends it */ }
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
