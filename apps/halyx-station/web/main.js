// The seat's page: one module per concern (connection, header, map, units, chat, questions),
// wired here.
import { connect, mapPicture, onAnswer } from "./connection.js";
import { createHeader, toggleFullScreen } from "./header.js";
import { createMap } from "./map.js";
import { createUnits } from "./units.js";
import { createChat } from "./chat.js";
import { createQuestions } from "./questions.js";

const banner = document.getElementById("banner");
const header = createHeader(document.getElementById("header"));
let units = null;
const map = createMap(document.getElementById("map"), {
  onPoint: (lat, lng) => units.point(lat, lng),
  onIncursion: (id) => { units.selection.incursion = id; draw(); },
});
units = createUnits(document.getElementById("units"), { setMode: (text) => map.setMode(text) });
const chat = createChat(document.getElementById("chat"));
const questions = createQuestions(document.getElementById("cover"), document.getElementById("questions"));
let state = null;
let mapVersion = null;

function draw() {
  if (!state) return;
  const t0 = performance.now();
  header.update(state);
  map.draw(state, units.selection);
  units.update(state);
  window.halyxDrawMs = performance.now() - t0;
}
units.onRedraw(draw);

onAnswer((answer, action) => {
  if (action.kind === "probe") questions.answered(answer, action);
  else units.showRefusal(answer.ok ? "" : answer.reason);
});

function showBanner(text) {
  if (text) { banner.textContent = text; banner.removeAttribute("hidden"); }
  else banner.setAttribute("hidden", "");
}

connect({
  onState(next) {
    state = next;
    window.halyxState = next;
    if (next.map && next.map.v !== mapVersion) {
      mapVersion = next.map.v;
      map.setPicture(mapPicture(mapVersion), next.map);
    }
    draw();
    chat.update(next);
    questions.update(next);
  },
  onStatus(up) { showBanner(up ? "" : "Connection lost, reconnecting"); },
  onRefused(text) { showBanner(text); },
});
setInterval(() => state && header.pausedCheck(state), 1000);

const keys = {
  a: () => units.commands.activate(), d: () => units.commands.deploy(), i: () => units.commands.intercept(),
  x: () => units.commands.abort(), v: () => units.commands.deactivate(), b: () => units.commands.balloon(),
  w: () => units.commands.weather(), f: toggleFullScreen, c: () => chat.focus(),
  "+": () => map.zoom(0.8), "-": () => map.zoom(1.25), 0: () => map.reset(),
  g: () => document.querySelector("header .go").click(), n: () => document.querySelector("header .nogo").click(),
};
document.addEventListener("keydown", (e) => {
  // Keys belong to the questions while they cover the page or while one is being answered.
  if (questions.covering() || e.target.closest?.(".probe")) return;
  if (["INPUT", "TEXTAREA", "SELECT"].includes(e.target.tagName) || e.ctrlKey || e.metaKey || e.altKey) {
    if (e.key === "Escape") e.target.blur();
    return;
  }
  if (e.key === "Escape") { units.commands.cancel(); return; }
  const run = keys[e.key.toLowerCase()];
  if (run) { e.preventDefault(); run(); }
});
