// The seat's units and what it may do with them: its interceptors (activate, deploy by clicking
// a destination, intercept the chosen incursion, deactivate, abort), the incursions it sees,
// a teammate's interceptors to ask for, the requests to answer, balloons and the weather.
import { el } from "./dom.js";
import { act } from "./connection.js";

export function createUnits(root, { setMode }) {
  const selection = { unit: null, incursion: null, mode: null };
  const refusal = el("div", { class: "refusal", role: "status" });
  const body = el("div");
  root.append(refusal, body);
  let state = null;
  let redraw = () => {};

  const choose = (mode, text) => {
    selection.mode = mode;
    setMode(text);
  };
  const own = () => state.interceptors.filter((i) => i.owner === state.seat);
  const selected = () => state && state.interceptors.find((i) => i.id === selection.unit);

  const commands = {
    activate: () => selection.unit && act({ kind: "activate", unit: selection.unit }),
    deactivate: () => selection.unit && act({ kind: "deactivate", unit: selection.unit }),
    abort: () => selection.unit && act({ kind: "abort", unit: selection.unit }),
    deploy: () => selection.unit && choose("deploy", `Click the destination of ${selection.unit} (Esc: cancel)`),
    intercept: () => {
      const unit = selected();
      if (!unit || !selection.incursion) { refusal.textContent = "Choose an interceptor and an incursion"; return; }
      act({ kind: unit.owner === state.seat ? "intercept" : "request", unit: unit.id, target: selection.incursion });
    },
    balloon: () => choose("balloon", "Click where the balloon rises (Esc: cancel)"),
    weather: () => choose("weather", "Click where to ask the weather (Esc: cancel)"),
    cancel: () => choose(null, ""),
  };

  function button(text, run, disabled = false) {
    const b = el("button", { text, onclick: run });
    b.disabled = disabled;
    return b;
  }

  function unitRow(i) {
    const what = !i.active ? "inactive" : i.moving ? `under way${i.target ? " to " + i.target : ""}` : "active";
    return el("div", { class: `unit${selection.unit === i.id ? " selected" : ""}`, "data-unit": i.id,
      onclick: () => { selection.unit = i.id; redraw(); } },
    el("span", { class: "name", text: i.name && i.name !== i.id ? `${i.id} ${i.name}` : i.id }),
    el("span", { class: "state", text: i.owner === state.seat ? what : `${i.owner || "nobody"}'s` }));
  }

  let shown = "";
  function render() {
    if (!state) return;
    const live = state.phase === "running";
    const unit = selected();
    const mine = unit && unit.owner === state.seat;
    const seen = state.incursions.filter((n) => !n.intercepted);
    const requests = state.requests.filter((r) => r.to === state.seat || r.from === state.seat);
    // Made again only when what the list shows changed: most ticks move units on the map and
    // change nothing here.
    const what = JSON.stringify([live, state.seat, selection, seen.map((n) => [n.id, n.name]), requests,
      state.interceptors.map((i) => [i.id, i.name, i.owner, i.active, i.moving, i.target]),
      state.balloons.slice(-6)]);
    if (what === shown) return;
    shown = what;
    // The actions stay in sight above the list, however long it is.
    const parts = [el("h2", { text: "My interceptors" })];
    parts.push(el("div", { class: "actions sticky" },
      button("Activate (A)", commands.activate, !live || !mine),
      button("Deploy (D)", commands.deploy, !live || !mine),
      button(mine || !unit ? "Intercept (I)" : "Request (I)", commands.intercept, !live || !unit),
      button("Abort (X)", commands.abort, !live || !mine),
      button("Deactivate (V)", commands.deactivate, !live || !mine)));
    for (const i of own()) parts.push(unitRow(i));
    parts.push(el("h2", { text: "Incursions seen" }));
    if (!seen.length) parts.push(el("div", { class: "state", text: "None" }));
    for (const n of seen) {
      parts.push(el("div", { class: `unit${selection.incursion === n.id ? " selected" : ""}`, "data-incursion": n.id,
        onclick: () => { selection.incursion = n.id; redraw(); } }, el("span", { class: "name", text: n.name || n.id })));
    }
    const team = state.interceptors.filter((i) => i.owner && i.owner !== state.seat);
    if (team.length) {
      parts.push(el("h2", { text: "Teammates' interceptors (choose one and an incursion to request it)" }));
      for (const i of team) parts.push(unitRow(i));
    }
    if (requests.length) parts.push(el("h2", { text: "Requests" }));
    for (const r of requests) {
      const text = r.to === state.seat
        ? `${r.from} asks for ${r.unit} against ${r.target} (minute ${r.minute}): ${r.state}`
        : `You asked ${r.to} for ${r.unit} against ${r.target}: ${r.state}`;
      const row = el("div", { class: "request", "data-request": r.id }, el("span", { text }));
      if (r.reason) row.append(el("span", { text: ` (${r.reason})` }));
      if (r.to === state.seat && r.state === "open") {
        row.append(el("div", { class: "actions" },
          button("Accept", () => act({ kind: "answer", request: r.id, accept: true }), !live),
          button("Refuse", () => act({ kind: "answer", request: r.id, accept: false, why: "not available" }), !live)));
      }
      parts.push(row);
    }
    parts.push(el("h2", { text: "Weather" }));
    parts.push(el("div", { class: "actions" }, button("Balloon (B)", commands.balloon, !live),
      button("Ask weather (W)", commands.weather, !live)));
    for (const b of state.balloons.slice(-6).reverse()) {
      const where = `(${b.lat.toFixed(0)}, ${b.lng.toFixed(0)})`;
      const answer = !b.answered ? "waiting for the answer" : b.noData ? "no data"
        : `wind ${b.windSpeed} from ${b.windDir}°, ${b.temperature}°, ${b.pressure} hPa, humidity ${b.humidity}`;
      parts.push(el("div", { class: "weather", text: `${b.seat} ${b.balloon ? "balloon" : "query"} ${where} minute ${b.minute}: ${answer}` }));
    }
    body.replaceChildren(...parts);
  }

  return {
    selection,
    commands,
    showRefusal(text) { refusal.textContent = text; },
    onRedraw(fn) { redraw = fn; },
    update(next) { state = next; render(); },
    point(lat, lng) {
      const mode = selection.mode;
      if (mode === "deploy" && selection.unit) act({ kind: "deploy", unit: selection.unit, lat, lng });
      else if (mode === "balloon") act({ kind: "balloon", lat, lng });
      else if (mode === "weather") act({ kind: "weather", lat, lng });
      else return;
      commands.cancel();
    },
  };
}
