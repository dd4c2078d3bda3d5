// The researcher's questions (docs/measures.md). During a freeze or the questionnaire a panel
// covers the whole page, so that neither the map nor the lists nor the minute give an answer
// away; in-view questions and workload ratings wait in the side panel while the mission goes on.
// A probe is answered once, all its questions together; its card goes when the seat says the
// probe is over (answered, or its time was up). A card is built once and left alone by later
// updates, so that what the subject typed stays.
import { el, clock } from "./dom.js";
import { act } from "./connection.js";

const COVERING = new Set(["freeze", "questionnaire"]);
const HINTS = {
  freeze: "The map comes back when you submit. Leave empty what you do not know.",
  questionnaire: "Move each slider from 0 (very low) to 100 (very high); a pale one has no answer yet.",
  pairs: "Then choose, in each pair, what counted more.",
};
const TITLES = {
  freeze: "The mission is frozen. Please answer from memory.",
  questionnaire: "The mission is over. How was your workload?",
  inview: "A question while you play",
  rating: "Your workload",
};
// The action's body must stay under the seat's 4 KiB.
const MAX_BODY = 3900;

// A scale of a few steps is a row of buttons; a longer one a slider.
function scaleField(q, name) {
  const values = [];
  for (let v = q.low; v <= q.high + 1e-9 && values.length <= 200; v += q.step > 0 ? q.step : q.high - q.low) {
    values.push(Number(v.toFixed(3)));
  }
  if (values.length <= 11) {
    let chosen = "";
    const buttons = values.map((v) => el("button", { type: "button", text: String(v), "aria-pressed": "false",
      "data-value": String(v),
      onclick: () => {
        chosen = String(v);
        for (const b of buttons) b.setAttribute("aria-pressed", String(b.dataset.value === chosen));
      } }));
    return { node: el("div", { class: "scale", role: "group", "aria-label": name }, ...buttons), value: () => chosen };
  }
  const output = el("output", { text: "–" });
  const range = el("input", { type: "range", class: "unset", min: String(q.low), max: String(q.high),
    step: String(q.step || "any"), "aria-label": name });
  range.addEventListener("input", () => { range.classList.remove("unset"); output.textContent = range.value; });
  return {
    node: el("div", { class: "range" }, el("span", { class: "end", text: String(q.low) }), range,
      el("span", { class: "end", text: String(q.high) }), output),
    value: () => (range.classList.contains("unset") ? "" : range.value),
  };
}

// One question: its text and the control that fits its answer.
function questionField(probe, q, names, repeat) {
  const name = `${probe.id}/${q.id}`;
  const legend = el("legend", { class: repeat ? "repeat" : "", text: q.text });
  let field;
  if (q.answer === "choice") {
    const radios = (q.choices || []).map((c) => el("input", { type: "radio", name, value: c }));
    field = {
      node: el("div", { class: "choices" }, ...radios.map((r) => el("label", {}, r, el("span", { text: names.get(r.value) || r.value })))),
      value: () => (radios.find((r) => r.checked) || { value: "" }).value,
    };
  } else if (q.answer === "number" && q.high > q.low) {
    field = scaleField(q, q.text);
  } else {
    const input = el("input", q.answer === "number"
      ? { type: "number", step: "any", inputmode: "decimal", "aria-label": q.text }
      : { type: "text", maxlength: "200", "aria-label": q.text });
    field = { node: input, value: () => input.value.trim() };
  }
  return { id: q.id, value: field.value,
    node: el("fieldset", { class: repeat ? "repeat" : "", "data-question": q.id }, legend, field.node) };
}

function makeCard(probe, seat) {
  // A pairwise comparison names two scales of the same probe: show the scales' own words.
  const names = new Map(probe.questions.map((q) => [q.id, q.text]));
  const fields = probe.questions.map((q, i) =>
    questionField(probe, q, names, i > 0 && probe.questions[i - 1].text === q.text));
  const left = el("span", { class: "left" });
  const status = el("span", { class: "status", role: "status" });
  const submit = el("button", { type: "button", class: "submit", text: "Submit" });
  const covering = COVERING.has(probe.kind);
  const node = el("section", { class: `probe ${probe.kind}`, "data-probe": probe.id,
    role: covering ? "dialog" : "region", "aria-label": TITLES[probe.kind] || "Questions" },
  el("h2", { text: covering ? `${seat}: ${TITLES[probe.kind]}` : TITLES[probe.kind] || "Questions" }),
  HINTS[probe.kind] && el("p", { class: "hint", text: HINTS[probe.kind] +
    (probe.kind === "questionnaire" && probe.questions.some((q) => q.answer === "choice") ? ` ${HINTS.pairs}` : "") }),
  ...fields.map((f) => f.node),
  el("div", { class: "foot" }, submit, left, status));
  const card = { node, covering, deadline: Date.now() + (probe.left ?? probe.seconds) * 1000, left, status, submit,
    warned: false };

  submit.addEventListener("click", () => {
    const answers = {};
    for (const f of fields) answers[f.id] = f.value();
    const blank = fields.filter((f) => answers[f.id] === "").length;
    if (blank && !card.warned) {
      card.warned = true;
      status.textContent = `${blank} question${blank > 1 ? "s have" : " has"} no answer. Submit again to send as it is.`;
      return;
    }
    const action = { kind: "probe", probe: probe.id, answers };
    if (new TextEncoder().encode(JSON.stringify(action)).length > MAX_BODY) {
      status.textContent = "The answers are too long. Please shorten them.";
      return;
    }
    submit.disabled = true;
    status.textContent = "Sending…";
    act(action);
  });
  // Enter goes on to the next question; on the last, to Submit.
  node.addEventListener("keydown", (e) => {
    if (e.key !== "Enter" || e.target.tagName !== "INPUT") return;
    e.preventDefault();
    const own = e.target.closest("fieldset");
    const next = fields.map((f) => f.node).slice(fields.findIndex((f) => f.node === own) + 1)
      .map((f) => f.querySelector("input, button")).find(Boolean);
    (next || submit).focus();
  });
  return card;
}

export function createQuestions(cover, side) {
  const cards = new Map(); // probe id -> card
  const tick = () => {
    for (const c of cards.values()) {
      const s = Math.max(0, Math.round((c.deadline - Date.now()) / 1000));
      c.left.textContent = s > 0 ? `Time left ${clock(s)}` : "Time is up";
    }
  };
  setInterval(tick, 1000);

  return {
    update(state) {
      const open = new Set((state.probes || []).map((p) => p.id));
      for (const [id, c] of cards) {
        if (!open.has(id)) { c.node.remove(); cards.delete(id); }
      }
      for (const probe of state.probes || []) {
        if (cards.has(probe.id)) continue;
        const c = makeCard(probe, state.seat);
        cards.set(probe.id, c);
        (c.covering ? cover : side).append(c.node);
        if (c.covering && !cover.contains(document.activeElement)) {
          const first = c.node.querySelector("input, fieldset button");
          if (first) first.focus();
        }
      }
      const covered = [...cards.values()].some((c) => c.covering);
      cover.hidden = !covered;
      side.hidden = ![...cards.values()].some((c) => !c.covering);
      // Nothing beneath the panel can be reached, by mouse or by Tab.
      for (const under of document.querySelectorAll("header, main")) under.inert = covered;
      tick();
    },
    covering: () => !cover.hidden,
    // The seat's answer to a probe action: a refusal shows on its card, which may try again.
    answered(answer, action) {
      const c = cards.get(action.probe);
      if (!c) return;
      c.status.textContent = answer.ok ? "Thank you." : answer.reason;
      c.submit.disabled = answer.ok;
    },
  };
}
