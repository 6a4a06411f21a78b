// view.js - the page: reads the view from the address bar, shows one
// heat-map panel per sample (tiles drawn by the server) under its
// profile, and turns zooms, hovers and control changes into requests.
import { browserLink, endpoint, fetchJson, position, stateFromUrl, urlOfState } from './view_api.js';
import { drawGroups, drawLegend, drawProfile, drawScale, element, formatNumber } from './view_draw.js';

const PANEL_WIDTH = 200;
const PROFILE_HEIGHT = 110;
const MIN_ROWS = 10;
const MIN_BAR = 30;

const page = {
  state: stateFromUrl(window.location.search),
  info: null,
  heats: [],
  profiles: [],
  hoverTimer: 0,
  hoverSeq: 0,
  drag: null,
  loadSeq: 0,
};

const $ = (id) => document.getElementById(id);

function setStatus(text, isError) {
  const status = $('status');
  status.textContent = text;
  status.classList.toggle('error', Boolean(isError));
}

function panelHeight() {
  return Math.max(200, Math.min(2000, Math.floor(window.innerHeight - 330)));
}

function rowsInView() {
  const rows = page.info.rows;
  let r0 = page.state.r0 ?? 0, r1 = page.state.r1 ?? rows;
  r0 = Math.max(0, Math.min(r0, rows - 1));
  r1 = Math.max(r0 + 1, Math.min(r1, rows));
  return [r0, r1];
}

function setRows(r0, r1) {
  const rows = page.info.rows;
  const span = Math.max(Math.min(MIN_ROWS, rows), Math.min(rows, Math.round(r1 - r0)));
  let begin = Math.round(r0);
  begin = Math.max(0, Math.min(begin, rows - span));
  page.state.r0 = begin === 0 && span === rows ? null : begin;
  page.state.r1 = begin === 0 && span === rows ? null : begin + span;
  history.replaceState(null, '', urlOfState(page.state));
  showRows();
}

function fillControls() {
  const form = $('controls');
  const cmap = form.elements.cmap;
  if (!cmap.options.length) {
    for (const name of page.info.cmaps) {
      cmap.append(new Option(name, name), new Option(`${name}_r`, `${name}_r`));
    }
  }
  for (const key of ['sort', 'using', 'samples', 'k', 'seed', 'cmap', 'zmin', 'zmax', 'agg']) {
    form.elements[key].value = page.state[key];
  }
  form.elements.missing.value = `#${page.state.missing}`;
}

function readControls() {
  const form = $('controls');
  for (const key of ['sort', 'using', 'samples', 'k', 'seed', 'cmap', 'zmin', 'zmax', 'agg']) {
    page.state[key] = form.elements[key].value.trim();
  }
  page.state.missing = form.elements.missing.value.replace('#', '').toLowerCase();
  if (page.state.k === '') page.state.k = '0';
  if (page.state.seed === '') page.state.seed = '0';
}

function buildPanels() {
  const panels = $('panels');
  panels.replaceChildren();
  page.heats = [];
  page.profiles = [];
  const height = panelHeight();
  page.info.samples.forEach((sample, s) => {
    const panel = element('div', 'panel');
    panel.append(element('div', 'sample-title', sample.label));
    const profile = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
    profile.classList.add('profile');
    // Its size before its lines arrive, so that the colour bars fit the panels at once.
    profile.setAttribute('width', PANEL_WIDTH);
    profile.setAttribute('height', PROFILE_HEIGHT);
    panel.append(profile);
    const heat = element('div', 'heat');
    heat.dataset.sample = String(s);
    const image = element('img');
    image.alt = `heat map of ${sample.label}`;
    image.width = PANEL_WIDTH;
    image.height = height;
    image.draggable = false;
    image.addEventListener('error', () => setStatus(`A tile of ${sample.label} could not be loaded`, true));
    heat.append(image);
    panel.append(heat);
    const ticks = element('div', 'ticks');
    ticks.style.width = `${PANEL_WIDTH}px`;
    for (const tick of sample.ticks) {
      const label = element('span', 'tick', tick.label);
      label.style.left = `${(tick.position / Math.max(1, sample.bins)) * PANEL_WIDTH}px`;
      // The labels at the panel's edges stay within it, clear of the next panel's.
      if (tick.position <= 0) label.classList.add('first');
      if (tick.position >= sample.bins) label.classList.add('last');
      ticks.append(label);
    }
    panel.append(ticks);
    panels.append(panel);
    attachPointer(heat, s);
    page.heats.push(heat);
    page.profiles.push(profile);
  });
  buildScales();
}

// The colour bars, the missing colour and the legend beside the panels,
// the bars as tall as lets the column end where the panels end (160 px at
// most, MIN_BAR at least; a longer legend makes the page scroll).
function buildScales() {
  const scales = $('scales');
  const same = page.info.samples.every((s) => s.low === page.info.samples[0].low && s.high === page.info.samples[0].high);
  const shown = same ? [page.info.samples[0]] : page.info.samples;
  const draw = (barHeight) => {
    scales.replaceChildren();
    for (const sample of shown) {
      drawScale(scales, page.info.colors, sample.low, sample.high, same ? '' : sample.label, barHeight);
    }
    const swatch = element('div', 'swatch');
    const box = element('span');
    box.style.background = page.info.missing;
    swatch.append(box, document.createTextNode('missing'));
    scales.append(swatch);
    drawLegend(scales, page.info.groups);
  };
  const tallest = 160;
  draw(tallest);
  const over = scales.getBoundingClientRect().bottom - $('panels').getBoundingClientRect().bottom;
  if (over > 0) draw(Math.max(MIN_BAR, tallest - Math.ceil(over / shown.length)));
}

async function showRows() {
  const seq = ++page.loadSeq;
  const [r0, r1] = rowsInView();
  const height = panelHeight();
  const agg = page.state.agg;
  page.heats.forEach((heat, s) => {
    const image = heat.querySelector('img');
    image.height = height;
    image.src = endpoint('/api/tile', page.state, { s, r0, r1, h: height, w: PANEL_WIDTH, agg });
  });
  const perPixel = (r1 - r0) / height;
  $('row-info').textContent = `rows ${r0 + 1}-${r1} of ${page.info.rows}; one pixel row holds ` +
    (perPixel <= 1 ? `1 row (${formatNumber(1 / perPixel)} pixels a row)` : `about ${formatNumber(perPixel)} rows`) +
    ` (${agg})`;
  $('exports').replaceChildren();
  for (const format of ['png', 'svg', 'pdf']) {
    const link = element('a', '', `figure ${format.toUpperCase()}`);
    link.href = endpoint('/api/export', page.state, { format });
    link.download = `binscope_view.${format}`;
    $('exports').append(link);
  }
  const rowsLink = element('a', '', 'rows in view (BED)');
  rowsLink.href = endpoint('/api/regions', page.state, { r0, r1 });
  rowsLink.download = 'binscope_view_regions.bed';
  rowsLink.id = 'bed-rows-link';
  $('exports').append(rowsLink);
  try {
    const profile = await fetchJson('/api/profile', page.state, { r0, r1, h: height });
    if (seq !== page.loadSeq) return;
    profile.samples.forEach((sample, s) => drawProfile(page.profiles[s], sample.lines, PANEL_WIDTH, PROFILE_HEIGHT));
    const top = page.heats[0].offsetTop - $('group-labels').offsetTop;
    drawGroups($('group-labels'), page.heats, profile.groups, top);
    setStatus('Ready');
    document.body.dataset.ready = String(seq);
  } catch (error) {
    setStatus(error.message, true);
  }
}

const HOVER_HINT = 'Move over a heat map; click to keep a region here.';

async function loadView() {
  setStatus('Computing the view...');
  // What was under the cursor belongs to the rows of the view before.
  $('hover-text').textContent = HOVER_HINT;
  try {
    page.info = await fetchJson('/api/view', page.state);
  } catch (error) {
    setStatus(error.message, true);
    return;
  }
  $('command').textContent = page.info.command;
  const groupSelect = $('bed-group');
  groupSelect.replaceChildren();
  page.info.groups.forEach((group, g) => groupSelect.append(new Option(group.label, String(g))));
  updateGroupLink();
  fillControls();
  buildPanels();
  history.replaceState(null, '', urlOfState(page.state));
  await showRows();
}

function updateGroupLink() {
  $('bed-group-link').href = endpoint('/api/regions', page.state, { group: $('bed-group').value || 0 });
}

function regionText(region) {
  return `${region.name}  ${position(region)} (${region.strand})`;
}

function hoverText(cell) {
  const rows = cell.rowEnd - cell.rowBegin;
  const lines = [regionText(cell.first), `group: ${cell.first.group}`, `value: ${formatNumber(cell.value)}`];
  lines.push(rows === 1 ? `row ${cell.rowBegin + 1}` : `rows ${cell.rowBegin + 1}-${cell.rowEnd} (${rows} rows; the first shown)`);
  lines.push(cell.colEnd - cell.colBegin === 1 ? `bin ${cell.colEnd}` : `bins ${cell.colBegin + 1}-${cell.colEnd}`);
  return lines.join('\n');
}

function pin(cell) {
  const pinned = $('pinned');
  pinned.replaceChildren();
  const region = cell.first;
  const link = browserLink(page.info.browserLink, region);
  const node = link ? element('a', '', regionText(region)) : element('span', '', regionText(region));
  if (link) { node.href = link; node.target = '_blank'; node.rel = 'noopener noreferrer'; }
  pinned.append(node);
}

function pointerRow(heat, event) {
  const rect = heat.querySelector('img').getBoundingClientRect();
  const y = Math.max(0, Math.min(rect.height - 1, Math.floor(event.clientY - rect.top)));
  const x = Math.max(0, Math.min(rect.width - 1, Math.floor(event.clientX - rect.left)));
  return { x, y, height: rect.height };
}

function requestHover(s, point, event, keep) {
  const [r0, r1] = rowsInView();
  const seq = ++page.hoverSeq;
  const extra = { s, r0, r1, h: panelHeight(), w: PANEL_WIDTH, agg: page.state.agg, x: point.x, y: point.y };
  fetchJson('/api/hover', page.state, extra).then((cell) => {
    if (seq !== page.hoverSeq && !keep) return;
    const text = hoverText(cell);
    $('hover-text').textContent = text;
    const tooltip = $('tooltip');
    tooltip.textContent = text;
    tooltip.hidden = false;
    tooltip.style.left = `${event.clientX + 14}px`;
    tooltip.style.top = `${event.clientY + 14}px`;
    if (keep) pin(cell);
  }).catch((error) => setStatus(error.message, true));
}

function attachPointer(heat, s) {
  const selection = element('div', 'selection');
  selection.hidden = true;
  heat.append(selection);
  heat.addEventListener('mousemove', (event) => {
    const point = pointerRow(heat, event);
    if (page.drag) {
      const top = Math.min(page.drag.y, point.y), bottom = Math.max(page.drag.y, point.y);
      selection.hidden = false;
      selection.style.top = `${top}px`;
      selection.style.height = `${bottom - top}px`;
      return;
    }
    clearTimeout(page.hoverTimer);
    page.hoverTimer = setTimeout(() => requestHover(s, point, event, false), 40);
  });
  heat.addEventListener('mouseleave', () => { $('tooltip').hidden = true; clearTimeout(page.hoverTimer); });
  heat.addEventListener('mousedown', (event) => {
    if (event.button !== 0) return;
    event.preventDefault();
    page.drag = { y: pointerRow(heat, event).y };
  });
  heat.addEventListener('mouseup', (event) => {
    if (!page.drag) return;
    const point = pointerRow(heat, event);
    const start = page.drag.y;
    page.drag = null;
    selection.hidden = true;
    if (Math.abs(point.y - start) < 4) { requestHover(s, point, event, true); return; }
    const [r0, r1] = rowsInView();
    const perPixel = (r1 - r0) / point.height;
    setRows(r0 + Math.min(start, point.y) * perPixel, r0 + (Math.max(start, point.y) + 1) * perPixel);
  });
  heat.addEventListener('wheel', (event) => {
    event.preventDefault();
    const point = pointerRow(heat, event);
    const [r0, r1] = rowsInView();
    const at = r0 + (point.y / point.height) * (r1 - r0);
    const factor = event.deltaY < 0 ? 0.8 : 1.25;
    const span = (r1 - r0) * factor;
    zoomTo(at - (point.y / point.height) * span, span);
  }, { passive: false });
}

let zoomTimer = 0;
function zoomTo(begin, span) {
  clearTimeout(zoomTimer);
  const rows = page.info.rows;
  span = Math.max(Math.min(MIN_ROWS, rows), Math.min(rows, span));
  page.state.r0 = Math.max(0, Math.min(Math.round(begin), rows - Math.round(span)));
  page.state.r1 = page.state.r0 + Math.round(span);
  zoomTimer = setTimeout(() => setRows(page.state.r0, page.state.r1), 120);
}

function zoomBy(factor) {
  const [r0, r1] = rowsInView();
  const middle = (r0 + r1) / 2, span = (r1 - r0) * factor;
  setRows(middle - span / 2, middle + span / 2);
}

function pan(direction) {
  const [r0, r1] = rowsInView();
  const step = Math.max(1, Math.round((r1 - r0) * 0.5)) * direction;
  setRows(r0 + step, r1 + step);
}

async function find(event) {
  event.preventDefault();
  const name = $('find').value;
  const list = $('found');
  list.replaceChildren();
  if (!name) return;
  try {
    const result = await fetchJson('/api/find', page.state, { name });
    if (!result.found.length) { list.append(element('li', '', `No region named like "${name}"`)); return; }
    for (const region of result.found) {
      const item = element('li');
      const button = element('button', '', `${region.name} (${position(region)}, row ${region.row + 1})`);
      button.type = 'button';
      button.addEventListener('click', () => {
        const [r0, r1] = rowsInView();
        const span = Math.min(r1 - r0, 100);
        setRows(region.row - span / 2, region.row + span / 2);
      });
      item.append(button);
      list.append(item);
    }
    if (result.found.length === 1) list.querySelector('button').click();
  } catch (error) {
    setStatus(error.message, true);
  }
}

function start() {
  // The token has become a cookie: it leaves the address bar and history.
  history.replaceState(null, '', urlOfState(page.state));
  $('controls').addEventListener('submit', (event) => {
    event.preventDefault();
    readControls();
    page.state.r0 = null;
    page.state.r1 = null;
    loadView();
  });
  $('zoom-in').addEventListener('click', () => zoomBy(0.5));
  $('zoom-out').addEventListener('click', () => zoomBy(2));
  $('pan-up').addEventListener('click', () => pan(-1));
  $('pan-down').addEventListener('click', () => pan(1));
  $('zoom-all').addEventListener('click', () => setRows(0, page.info.rows));
  $('find-form').addEventListener('submit', find);
  $('bed-group').addEventListener('change', updateGroupLink);
  $('copy-command').addEventListener('click', () => navigator.clipboard?.writeText(page.info.command));
  window.addEventListener('resize', () => { if (page.info) { buildPanels(); showRows(); } });
  loadView();
}

start();
