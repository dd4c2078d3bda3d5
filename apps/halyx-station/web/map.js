// The seat's map: a background picture when one is set (setPicture), and over it in SVG the radars and
// their ranges, the interceptors, the incursions' tracks as far as the seat sees them, the impact
// lines, the trajectory and the balloons. Wheel or +/- zoom, dragging pans; a click is handed to
// the page (deploy, balloon, weather) with the point in map coordinates.
import { el, svg } from "./dom.js";

// Map coordinates: x is the longitude, y runs down from the northernmost latitude.
const FRAME = { x: 95, y: 0, w: 560, h: 950 };
const TOP = 950;
const px = (lng) => lng;
const py = (lat) => TOP - lat;

export function createMap(root, { onPoint, onIncursion }) {
  const picture = svg("svg", { viewBox: `${FRAME.x} ${FRAME.y} ${FRAME.w} ${FRAME.h}`,
    preserveAspectRatio: "xMidYMid meet", role: "img", "aria-label": "Map" });
  const background = svg("image", { x: FRAME.x, y: FRAME.y, width: FRAME.w, height: FRAME.h,
    preserveAspectRatio: "none" });
  const layer = svg("g");
  picture.append(svg("rect", { x: FRAME.x, y: FRAME.y, width: FRAME.w, height: FRAME.h,
    fill: "#d7e6ee" }), background, layer);
  const mode = el("div", { class: "mode", hidden: "" });
  const zoomIn = el("button", { text: "+", title: "Zoom in (+)", onclick: () => zoom(0.8) });
  const zoomOut = el("button", { text: "−", title: "Zoom out (-)", onclick: () => zoom(1.25) });
  const reset = el("button", { text: "Whole map (0)", onclick: () => setView({ ...FRAME }) });
  root.append(picture, mode, el("div", { class: "zoom" }, zoomIn, zoomOut, reset));

  let view = { ...FRAME };
  function setView(v) {
    view = v;
    picture.setAttribute("viewBox", `${v.x} ${v.y} ${v.w} ${v.h}`);
  }
  function zoom(factor, cx = view.x + view.w / 2, cy = view.y + view.h / 2) {
    const w = Math.min(FRAME.w * 2, Math.max(40, view.w * factor));
    const h = w * (FRAME.h / FRAME.w);
    setView({ x: cx - (cx - view.x) * (w / view.w), y: cy - (cy - view.y) * (h / view.h), w, h });
  }
  function toMap(event) {
    const m = picture.getScreenCTM();
    if (!m) return null;
    const p = new DOMPoint(event.clientX, event.clientY).matrixTransform(m.inverse());
    return { lat: TOP - p.y, lng: p.x };
  }
  picture.addEventListener("wheel", (e) => {
    e.preventDefault();
    const p = toMap(e);
    if (p) zoom(e.deltaY > 0 ? 1.15 : 0.87, px(p.lng), py(p.lat));
  }, { passive: false });
  let drag = null;
  picture.addEventListener("pointerdown", (e) => { drag = { x: e.clientX, y: e.clientY, moved: false, view }; });
  picture.addEventListener("pointermove", (e) => {
    if (!drag) return;
    const dx = e.clientX - drag.x;
    const dy = e.clientY - drag.y;
    if (Math.abs(dx) + Math.abs(dy) > 4) drag.moved = true;
    if (!drag.moved) return;
    const scale = drag.view.w / picture.clientWidth;
    setView({ ...drag.view, x: drag.view.x - dx * scale, y: drag.view.y - dy * scale });
  });
  picture.addEventListener("pointerup", (e) => {
    const wasDrag = drag && drag.moved;
    drag = null;
    if (wasDrag) return;
    const hit = e.target.closest && e.target.closest("[data-incursion]");
    if (hit) { onIncursion(hit.dataset.incursion); return; }
    const p = toMap(e);
    if (p) onPoint(Math.round(p.lat * 1000) / 1000, Math.round(p.lng * 1000) / 1000);
  });

  const line = (points, attrs) => svg("polyline", {
    points: points.map(([lat, lng]) => `${px(lng)},${py(lat)}`).join(" "), fill: "none", ...attrs });
  const label = (x, y, text, attrs = {}) => {
    const t = svg("text", { x, y, "font-size": 11, ...attrs });
    t.textContent = text;
    return t;
  };

  return {
    setPicture(address) { if (address) background.setAttribute("href", address); },
    setMode(text) {
      if (text) { mode.textContent = text; mode.removeAttribute("hidden"); }
      else mode.setAttribute("hidden", "");
    },
    zoom,
    reset: () => setView({ ...FRAME }),
    draw(state, selection) {
      const g = svg("g");
      g.append(line(state.north, { stroke: "#8d6e63", "stroke-width": 2, "stroke-dasharray": "6 4" }));
      g.append(line(state.south, { stroke: "#8d6e63", "stroke-width": 2, "stroke-dasharray": "6 4" }));
      g.append(line(state.trajectory, { stroke: "#6a1b9a", "stroke-width": 2 }));
      for (const r of state.radars) {
        const own = r.owner === state.seat;
        g.append(svg("circle", { cx: px(r.lng), cy: py(r.lat), r: r.range, fill: own ? "rgba(30,136,229,0.07)" : "none",
          stroke: own ? "#1e88e5" : "#90a4ae", "stroke-width": 1 }));
        g.append(svg("rect", { x: px(r.lng) - 4, y: py(r.lat) - 4, width: 8, height: 8,
          fill: own ? "#1e88e5" : "#90a4ae" }));
      }
      for (const n of state.incursions) {
        const colour = n.intercepted ? "#9e9e9e" : "#d32f2f";
        g.append(svg("line", { x1: px(n.fromLng), y1: py(n.fromLat), x2: px(n.lng), y2: py(n.lat),
          stroke: colour, "stroke-width": 1.5, "stroke-dasharray": "3 3" }));
        const mark = svg("path", { d: `M ${px(n.lng)} ${py(n.lat) - 7} l 7 12 l -14 0 z`, fill: colour,
          stroke: selection.incursion === n.id ? "#000" : "none", "stroke-width": 2, "data-incursion": n.id,
          style: "cursor:pointer" });
        g.append(mark, label(px(n.lng) + 8, py(n.lat) + 4, n.name || n.id, { fill: colour }));
      }
      for (const i of state.interceptors) {
        const own = i.owner === state.seat;
        const selected = selection.unit === i.id;
        if (selected && i.range > 0) {
          g.append(svg("circle", { cx: px(i.homeLng), cy: py(i.homeLat), r: i.range, fill: "none",
            stroke: "#2e7d32", "stroke-dasharray": "8 4" }));
        }
        if (i.moving) {
          g.append(svg("line", { x1: px(i.lng), y1: py(i.lat), x2: px(i.destLng), y2: py(i.destLat),
            stroke: "#2e7d32", "stroke-width": 1 }));
        }
        g.append(svg("circle", { cx: px(i.lng), cy: py(i.lat), r: selected ? 7 : 5,
          fill: !i.active ? "#fff" : own ? "#2e7d32" : "#78909c", stroke: own ? "#1b5e20" : "#546e7a",
          "stroke-width": 2 }));
        g.append(label(px(i.lng) + 8, py(i.lat) - 6, i.name || i.id, { fill: own ? "#1b5e20" : "#546e7a" }));
      }
      for (const b of state.balloons) {
        g.append(svg("circle", { cx: px(b.lng), cy: py(b.lat), r: 4, fill: "#fdd835", stroke: "#f57f17" }));
      }
      if (state.location) {
        g.append(svg("circle", { cx: px(state.location[1]), cy: py(state.location[0]), r: 9,
          fill: "none", stroke: "#233043", "stroke-width": 3 }));
      }
      layer.replaceChildren(g);
    },
  };
}
