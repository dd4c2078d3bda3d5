// The header: the seat's name, the minute and the count-down, the state, go/no-go, full screen.
import { el, clock } from "./dom.js";
import { act } from "./connection.js";

const PHASES = {
  waiting: "Waiting for the scenario", initialized: "Initialized", running: "Running",
  paused: "Paused", replay: "Replay",
};

export function createHeader(root) {
  const name = el("span", { class: "seat" });
  const minute = el("span", { class: "minute" });
  const countdown = el("span", { class: "minute" });
  const phase = el("span", { class: "phase" });
  const go = el("button", { class: "go", text: "Go (G)", "aria-pressed": "false",
    onclick: () => act({ kind: "gonogo", go: true }) });
  const nogo = el("button", { class: "nogo", text: "No-go (N)", "aria-pressed": "false",
    onclick: () => act({ kind: "gonogo", go: false }) });
  const full = el("button", { text: "Full screen (F)", onclick: toggleFullScreen });
  root.append(name, phase, minute, countdown, el("span", { class: "gonogo" }, go, nogo),
    el("span", { class: "spacer" }), full);
  let lastMinute = null;
  let lastTick = 0;
  return {
    update(state) {
      name.textContent = state.seat;
      document.title = `Seat ${state.seat}`;
      let key = state.phase;
      if (key === "running") {
        // The clock stands still while the console has paused the mission.
        if (state.minute !== lastMinute) { lastMinute = state.minute; lastTick = Date.now(); }
      }
      phase.className = `phase ${key}`;
      phase.textContent = key === "complete"
        ? `Mission complete: ${/not been launched|expired/i.test(state.mission) ? "No Launch" : "Launch"}`
        : PHASES[key] || key;
      minute.textContent = `Minute ${state.minute}`;
      const left = Math.max(0, state.lastMinute - state.minute);
      countdown.textContent = `Window closes in ${clock(left)}`;
      const mine = state.goNoGo[state.seat];
      go.setAttribute("aria-pressed", String(mine === "go"));
      nogo.setAttribute("aria-pressed", String(mine === "nogo"));
      const live = state.phase === "running";
      go.disabled = !live;
      nogo.disabled = !live;
    },
    pausedCheck(state) {
      if (state.phase === "running" && lastTick && Date.now() - lastTick > 5000) {
        phase.className = "phase paused";
        phase.textContent = PHASES.paused;
      }
    },
  };
}

export function toggleFullScreen() {
  if (document.fullscreenElement) document.exitFullscreen();
  else document.documentElement.requestFullscreen().catch(() => {});
}
