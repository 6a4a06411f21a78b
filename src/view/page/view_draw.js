// view_draw.js - the parts of the page drawn from the server's data: the
// profiles, colour bars, group labels and separators. Every text from the
// data goes in as text, never as markup.

const SVG = 'http://www.w3.org/2000/svg';

export function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function svgElement(tag, attributes) {
  const node = document.createElementNS(SVG, tag);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, String(value));
  return node;
}

function formatNumber(value) {
  if (value === null || !Number.isFinite(value)) return 'missing';
  const magnitude = Math.abs(value);
  if (magnitude !== 0 && (magnitude >= 1e5 || magnitude < 1e-3)) return value.toExponential(2);
  return String(Number(value.toPrecision(4)));
}
export { formatNumber };

// A profile panel: a frame, value labels at its top and bottom, one line
// per group (its colour from the server), gaps where a bin has no value.
export function drawProfile(svg, lines, width, height) {
  svg.replaceChildren();
  svg.setAttribute('width', width);
  svg.setAttribute('height', height);
  const values = lines.flatMap((line) => line.center.filter((v) => v !== null));
  let low = Math.min(...values), high = Math.max(...values);
  if (!values.length) { low = 0; high = 1; }
  if (low === high) { low -= 0.5; high += 0.5; }
  const room = (high - low) * 0.05;
  low -= room; high += room;
  svg.append(svgElement('rect', { x: 0.5, y: 0.5, width: width - 1, height: height - 1, fill: 'none', stroke: '#000' }));
  for (const line of lines) {
    const n = line.center.length;
    let path = '';
    let pen = false;
    line.center.forEach((v, i) => {
      if (v === null) { pen = false; return; }
      const x = n === 1 ? width / 2 : (i / (n - 1)) * (width - 2) + 1;
      const y = height - 1 - ((v - low) / (high - low)) * (height - 2);
      path += `${pen ? 'L' : 'M'}${x.toFixed(2)},${y.toFixed(2)}`;
      pen = true;
    });
    svg.append(svgElement('path', { d: path, fill: 'none', stroke: line.color, 'stroke-width': 1.5 }));
  }
  for (const [value, y] of [[high - room, 10], [low + room, height - 3]]) {
    const label = svgElement('text', { x: 3, y, 'font-size': 9 });
    label.textContent = formatNumber(value);
    svg.append(label);
  }
}

// A vertical colour bar (low at the bottom) with its limits beside it.
export function drawScale(container, colors, low, high, title, height) {
  const scale = element('div', 'scale');
  const canvas = element('canvas');
  canvas.width = 14;
  canvas.height = height;
  const context = canvas.getContext('2d');
  colors.forEach((color, i) => {
    context.fillStyle = color;
    const y = canvas.height - ((i + 1) / colors.length) * canvas.height;
    context.fillRect(0, Math.floor(y), canvas.width, Math.ceil(canvas.height / colors.length) + 1);
  });
  const labels = element('div', 'scale-labels');
  labels.append(element('span', '', formatNumber(high)), element('span', '', formatNumber(low)));
  scale.append(canvas, labels);
  if (title) container.append(element('div', 'scale-title', title));
  container.append(scale);
}

// Group labels beside the first panel, and separators across every panel,
// at the pixel rows the server placed the groups on.
export function drawGroups(labelColumn, heats, spans, topOffset) {
  labelColumn.replaceChildren();
  for (const span of spans) {
    if (span.bottom - span.top < 12) continue;
    const label = element('div', 'group-label', span.label);
    label.style.top = `${topOffset + (span.top + span.bottom) / 2}px`;
    labelColumn.append(label);
  }
  for (const heat of heats) {
    heat.querySelectorAll('.separator').forEach((node) => node.remove());
    for (const span of spans.slice(1)) {
      const line = element('div', 'separator');
      line.style.top = `${span.top}px`;
      line.style.borderTopColor = span.separator;
      heat.append(line);
    }
  }
}

export function drawLegend(container, groups) {
  const legend = element('div', 'legend');
  for (const group of groups.slice(0, 29)) {
    const entry = element('span');
    const line = element('span', 'line');
    line.style.borderTopColor = group.color;
    entry.append(line, document.createTextNode(group.label));
    legend.append(entry);
  }
  if (groups.length > 29) legend.append(element('span', '', `and ${groups.length - 29} more`));
  container.append(legend);
}
