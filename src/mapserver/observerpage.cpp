#include "mapserver/observeraccess.h"

namespace halyx {

namespace {

// The page draws whatever the state holds: every object with a numeric lat and lng becomes a
// mark (its "command" or "kind" names its symbol, its "station" its colour), an object with
// "from" and "to" points a line. So the page need not change when the state gains a kind of
// mark. Texts from the stations (chat, names) only ever reach the page as text nodes, never as
// markup.
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
const W = 1000, H = 700, PAD = 30;
const palette = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2",
                 "#17becf", "#bcbd22", "#7f7f7f"];
const stationColour = {};

function colourOf(station, given) {
  if (given) { stationColour[station] = given; }
  if (!(station in stationColour)) {
    stationColour[station] = palette[Object.keys(stationColour).length % palette.length];
  }
  return stationColour[station];
}

function isPoint(o) {
  return o && typeof o === "object" && typeof o.lat === "number" && typeof o.lng === "number" &&
         isFinite(o.lat) && isFinite(o.lng);
}

// Every object with a point, with the path of keys that led to it (its layer).
function collect(value, layer, out, depth) {
  if (depth > 12 || value === null || typeof value !== "object") { return; }
  if (Array.isArray(value)) {
    for (const item of value) { collect(item, layer, out, depth + 1); }
    return;
  }
  if (isPoint(value)) { out.push({layer: layer, mark: value}); }
  for (const key of Object.keys(value)) {
    if (key === "chat" || key === "stations") { continue; }
    collect(value[key], layer || key, out, depth + 1);
  }
}

function el(name, attrs, parent) {
  const e = document.createElementNS(SVG, name);
  for (const k of Object.keys(attrs)) { e.setAttribute(k, String(attrs[k])); }
  parent.appendChild(e);
  return e;
}

function bounds(state, found) {
  const m = state.map || state.bounds;
  if (m && [m.west, m.east, m.south, m.north].every(v => typeof v === "number") &&
      m.east > m.west && m.north > m.south) {
    return m;
  }
  let b = {west: Infinity, east: -Infinity, south: Infinity, north: -Infinity};
  for (const f of found) {
    b.west = Math.min(b.west, f.mark.lng); b.east = Math.max(b.east, f.mark.lng);
    b.south = Math.min(b.south, f.mark.lat); b.north = Math.max(b.north, f.mark.lat);
  }
  if (!isFinite(b.west)) { b = {west: -1, east: 1, south: -1, north: 1}; }
  const mx = Math.max((b.east - b.west) * 0.05, 0.01), my = Math.max((b.north - b.south) * 0.05, 0.01);
  return {west: b.west - mx, east: b.east + mx, south: b.south - my, north: b.north + my};
}

function drawPicture(state) {
  const svg = document.getElementById("picture");
  while (svg.firstChild) { svg.removeChild(svg.firstChild); }
  const found = [];
  collect(state, "", found, 0);
  const b = bounds(state, found);
  const sx = (W - 2 * PAD) / (b.east - b.west), sy = (H - 2 * PAD) / (b.north - b.south);
  const s = Math.min(sx, sy);
  const x = lng => PAD + (lng - b.west) * s;
  const y = lat => H - PAD - (lat - b.south) * s;
  el("rect", {x: 0, y: 0, width: W, height: H, fill: "#dfe8ee"}, svg);
  const lines = el("g", {id: "lines"}, svg), marks = el("g", {id: "marks"}, svg);
  for (const f of found) {
    const m = f.mark;
    const what = String(m.command || m.kind || m.type || f.layer || "mark");
    const colour = m.station ? colourOf(String(m.station), m.colour || m.color) : "#444";
    if (isPoint(m.from) && isPoint(m.to) && m.to !== m) {
      el("line", {x1: x(m.from.lng), y1: y(m.from.lat), x2: x(m.to.lng), y2: y(m.to.lat),
                  stroke: colour, "stroke-width": 2, "stroke-dasharray": "6 4",
                  "data-command": what}, lines);
    }
    const opacity = typeof m.fade === "number" ? Math.max(0.15, Math.min(1, m.fade)) : 1;
    const c = el("circle", {cx: x(m.lng), cy: y(m.lat), r: 5, fill: colour, "fill-opacity": opacity,
                            stroke: "#000", "stroke-width": 0.5, class: "mark " + f.layer,
                            "data-command": what}, marks);
    if (typeof m.heading === "number") {
      const a = (90 - m.heading) * Math.PI / 180;
      el("line", {x1: x(m.lng), y1: y(m.lat), x2: x(m.lng) + 14 * Math.cos(a),
                  y2: y(m.lat) - 14 * Math.sin(a), stroke: colour, "stroke-width": 2}, marks);
    }
    const title = el("title", {}, c);
    const parts = [];
    for (const k of ["station", "command", "kind", "id", "minute", "state"]) {
      if (m[k] !== undefined) { parts.push(k + ": " + m[k]); }
    }
    parts.push("at " + m.lat.toFixed(3) + ", " + m.lng.toFixed(3));
    title.textContent = parts.join("\n");
  }
}

function drawSide(state) {
  document.getElementById("minute").textContent =
      typeof state.minute === "number" ? String(state.minute) : "-";
  const stations = document.getElementById("stations");
  while (stations.firstChild) { stations.removeChild(stations.firstChild); }
  const list = Array.isArray(state.stations) ? state.stations : [];
  for (const st of list) {
    const name = String(st.name !== undefined ? st.name : st.station);
    const row = document.createElement("div");
    row.className = "station";
    const light = document.createElement("span");
    const status = String(st.status || st.goNoGo || "").toLowerCase().replace(/[^a-z]/g, "");
    light.className = "light " + (status === "go" ? "go" : status === "nogo" ? "nogo" : "");
    light.style.outline = "2px solid " + colourOf(name, st.colour || st.color);
    const label = document.createElement("span");
    label.textContent = name + (status ? " " + status : "");
    row.appendChild(light);
    row.appendChild(label);
    stations.appendChild(row);
  }
  const chat = document.getElementById("chat");
  while (chat.firstChild) { chat.removeChild(chat.firstChild); }
  const lines = Array.isArray(state.chat) ? state.chat : [];
  document.getElementById("chat-title").style.display = Array.isArray(state.chat) ? "" : "none";
  for (const line of lines.slice(-12)) {
    const row = document.createElement("div");
    const who = document.createElement("span");
    who.className = "who";
    const minute = line.minute !== undefined ? "[" + line.minute + "] " : "";
    who.textContent = minute + (line.from || "") + (line.to ? " -> " + line.to : "") + ": ";
    row.appendChild(who);
    row.appendChild(document.createTextNode(String(line.text !== undefined ? line.text : "")));
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
