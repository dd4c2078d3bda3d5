// The seat's map: its own map picture, drawn by the station program as the console draws maps,
// and over it in SVG the radars and their ranges, the interceptors, the incursions' tracks as far
// as the seat sees them, the impact lines, the trajectory and the balloons. Wheel or +/- zoom,
// dragging pans; a click is handed to the page (deploy, balloon, weather) with the point in map
// coordinates.
import { el, svg } from "./dom.js";

// Laid out as the console lays out a map: latitude left to right, longitude upward. SVG units
// are map units (x the latitude, y the longitude negated), so units sit where the picture has
// them; marks and text keep their size on the screen whatever the zoom.
const px = (lat) => lat;
const py = (lng) => -lng;
// Before the seat's map is known: the region a seat may send units to.
const REGION = { lat: [0, 950], lng: [95, 655] };
const frameOf = (b) => ({ x: b.lat[0], y: -b.lng[1], w: b.lat[1] - b.lat[0], h: b.lng[1] - b.lng[0] });

export function createMap(root, { onPoint, onIncursion }) {
  let frame = frameOf(REGION);
  let view = { ...frame };
  const picture = svg("svg", { viewBox: `${frame.x} ${frame.y} ${frame.w} ${frame.h}`,
    preserveAspectRatio: "xMidYMid meet", role: "img", "aria-label": "Map" });
  const backdrop = svg("rect", { fill: "#d7e6ee" });
  // The terrain faded, so that the marks over it stay easy to read.
  const background = svg("image", { preserveAspectRatio: "none", opacity: 0.4 });
  const place = (node) => {
    for (const [k, v] of Object.entries({ x: frame.x, y: frame.y, width: frame.w, height: frame.h })) {
      node.setAttribute(k, v);
    }
  };
  place(backdrop);
  place(background);
  const layer = svg("g");
  picture.append(backdrop, background, layer);
  const mode = el("div", { class: "mode", hidden: "" });
  const zoomIn = el("button", { text: "+", title: "Zoom in (+)", onclick: () => zoom(0.8) });
  const zoomOut = el("button", { text: "−", title: "Zoom out (-)", onclick: () => zoom(1.25) });
  const reset = el("button", { text: "Whole map (0)", onclick: () => setView({ ...frame }) });
  root.append(picture, mode, el("div", { class: "zoom" }, zoomIn, zoomOut, reset));

  let last = null;
  function setView(v) {
    const rescaled = v.w !== view.w;
    view = v;
    picture.setAttribute("viewBox", `${v.x} ${v.y} ${v.w} ${v.h}`);
    if (rescaled && last) render(...last);
  }
  // The picture's size on the screen, kept as it changes: reading it at every draw would make
  // the browser lay the page out in the middle of the draw.
  let box = { width: 0, height: 0 };
  new ResizeObserver(([entry]) => {
    box = entry.contentRect;
    if (last) render(...last);
  }).observe(picture);
  // Zooms out to four times the map, so that units beyond the seat's map can be found.
  function zoom(factor, cx = view.x + view.w / 2, cy = view.y + view.h / 2) {
    const w = Math.min(frame.w * 4, Math.max(frame.w / 16, view.w * factor));
    const h = w * (frame.h / frame.w);
    setView({ x: cx - (cx - view.x) * (w / view.w), y: cy - (cy - view.y) * (h / view.h), w, h });
  }
  function toMap(event) {
    const m = picture.getScreenCTM();
    if (!m) return null;
    const p = new DOMPoint(event.clientX, event.clientY).matrixTransform(m.inverse());
    return { lat: p.x, lng: -p.y };
  }
  picture.addEventListener("wheel", (e) => {
    e.preventDefault();
    const p = toMap(e);
    if (p) zoom(e.deltaY > 0 ? 1.15 : 0.87, px(p.lat), py(p.lng));
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

  // The marks are kept from one draw to the next by key, and an attribute is set only when it
  // changed: a tick moves a few marks, and making hundreds of elements anew at every tick costs
  // more than a draw may take.
  let marks = new Map();
  function render(state, selection) {
    // Map units per screen pixel, so that a mark of n pixels is s(n) map units.
    const unit = box.width > 0 && box.height > 0 ? Math.max(view.w / box.width, view.h / box.height) : 1;
    const s = (n) => n * unit;
    const dash = (a, b) => `${s(a)} ${s(b)}`;
    const next = new Map();
    const order = [];
    const put = (key, tag, attrs, text) => {
      let node = marks.get(key);
      if (!node) {
        node = svg(tag);
        node.was = {};
      }
      for (const name in attrs) {
        const value = String(attrs[name]);
        if (node.was[name] !== value) {
          node.setAttribute(name, value);
          node.was[name] = value;
        }
      }
      if (text !== undefined && node.textContent !== text) node.textContent = text;
      next.set(key, node);
      order.push(node);
    };
    const line = (key, points, attrs) => put(key, "polyline", {
      points: points.map(([lat, lng]) => `${px(lat)},${py(lng)}`).join(" "), fill: "none", ...attrs });
    // A light halo keeps a label readable over land and sea alike.
    const label = (key, x, y, text, fill) => put(key, "text", { x, y, fill, "font-size": s(12), stroke: "#fff",
      "stroke-width": s(3), "stroke-opacity": 0.75, "stroke-linejoin": "round", "paint-order": "stroke" }, text);
    line("north", state.north, { stroke: "#8d6e63", "stroke-width": s(2), "stroke-dasharray": dash(6, 4) });
    line("south", state.south, { stroke: "#8d6e63", "stroke-width": s(2), "stroke-dasharray": dash(6, 4) });
    line("trajectory", state.trajectory, { stroke: "#6a1b9a", "stroke-width": s(2) });
    for (const r of state.radars) {
      const own = r.owner === state.seat;
      put(`r:${r.id}`, "circle", { cx: px(r.lat), cy: py(r.lng), r: r.range, fill: own ? "rgba(30,136,229,0.07)" : "none",
        stroke: own ? "#1e88e5" : "#78909c", "stroke-width": s(1) });
      put(`R:${r.id}`, "rect", { x: px(r.lat) - s(4), y: py(r.lng) - s(4), width: s(8), height: s(8),
        fill: own ? "#1e88e5" : "#78909c" });
    }
    for (const n of state.incursions) {
      const colour = n.intercepted ? "#616161" : "#c62828";
      put(`nt:${n.id}`, "line", { x1: px(n.fromLat), y1: py(n.fromLng), x2: px(n.lat), y2: py(n.lng),
        stroke: colour, "stroke-width": s(1.5), "stroke-dasharray": dash(3, 3) });
      put(`n:${n.id}`, "path", { d: `M ${px(n.lat)} ${py(n.lng) - s(7)} l ${s(7)} ${s(12)} l ${-s(14)} 0 z`,
        fill: colour, stroke: selection.incursion === n.id ? "#000" : "none", "stroke-width": s(2),
        "data-incursion": n.id, style: "cursor:pointer" });
      label(`nl:${n.id}`, px(n.lat) + s(8), py(n.lng) + s(4), n.name || n.id, colour);
    }
    for (const i of state.interceptors) {
      const own = i.owner === state.seat;
      const selected = selection.unit === i.id;
      if (selected && i.range > 0) {
        put(`ir:${i.id}`, "circle", { cx: px(i.homeLat), cy: py(i.homeLng), r: i.range, fill: "none",
          stroke: "#2e7d32", "stroke-width": s(1), "stroke-dasharray": dash(8, 4) });
      }
      if (i.moving) {
        put(`im:${i.id}`, "line", { x1: px(i.lat), y1: py(i.lng), x2: px(i.destLat), y2: py(i.destLng),
          stroke: "#2e7d32", "stroke-width": s(1) });
      }
      put(`i:${i.id}`, "circle", { cx: px(i.lat), cy: py(i.lng), r: s(selected ? 7 : 5),
        fill: !i.active ? "#fff" : own ? "#2e7d32" : "#78909c", stroke: own ? "#1b5e20" : "#455a64",
        "stroke-width": s(2) });
      label(`il:${i.id}`, px(i.lat) + s(8), py(i.lng) - s(6), i.name || i.id, own ? "#1b5e20" : "#455a64");
    }
    state.balloons.forEach((b, k) => put(`b:${k}`, "circle", { cx: px(b.lat), cy: py(b.lng), r: s(4),
      fill: "#fdd835", stroke: "#f57f17", "stroke-width": s(1) }));
    if (state.location) {
      put("location", "circle", { cx: px(state.location[0]), cy: py(state.location[1]), r: s(9),
        fill: "none", stroke: "#233043", "stroke-width": s(3) });
    }
    // Only what came or went is put in or taken out: moving every mark costs as much as making it.
    for (const [key, node] of marks) if (!next.has(key)) node.remove();
    marks = next;
    let at = layer.firstChild;
    for (const node of order) {
      if (node === at) at = at.nextSibling;
      else layer.insertBefore(node, at);
    }
  }

  return {
    // The seat's map picture and the map coordinates it covers; the whole map comes into view.
    setPicture(address, bounds) {
      if (!address) return;
      frame = frameOf(bounds);
      place(backdrop);
      place(background);
      background.setAttribute("href", address);
      setView({ ...frame });
    },
    setMode(text) {
      if (text) { mode.textContent = text; mode.removeAttribute("hidden"); }
      else mode.setAttribute("hidden", "");
    },
    zoom,
    reset: () => setView({ ...frame }),
    draw(state, selection) {
      last = [state, selection];
      render(state, selection);
    },
  };
}
