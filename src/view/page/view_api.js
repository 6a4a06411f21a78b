// view_api.js - the view's state as query parameters (the same in the
// address bar and in every request) and the server's endpoints.

export const VIEW_KEYS = ['sort', 'using', 'samples', 'k', 'seed', 'cmap', 'zmin', 'zmax', 'missing'];
const DEFAULTS = { sort: 'keep', using: 'mean', samples: '', k: '0', seed: '0', cmap: 'viridis', zmin: '', zmax: '',
  missing: 'b3b3b3', agg: 'mean' };

// The state read from the address bar: view parameters, pixel-row
// statistic and the rows in view (r0, r1; absent for all).
export function stateFromUrl(search) {
  const params = new URLSearchParams(search);
  const state = { ...DEFAULTS };
  for (const key of [...VIEW_KEYS, 'agg']) {
    if (params.has(key)) state[key] = params.get(key);
  }
  const r0 = Number.parseInt(params.get('r0') ?? '', 10);
  const r1 = Number.parseInt(params.get('r1') ?? '', 10);
  state.r0 = Number.isFinite(r0) ? r0 : null;
  state.r1 = Number.isFinite(r1) ? r1 : null;
  return state;
}

// The view's parameters that differ from the defaults.
export function viewParams(state) {
  const params = new URLSearchParams();
  for (const key of VIEW_KEYS) {
    if (state[key] !== DEFAULTS[key] && state[key] !== '') params.set(key, state[key]);
  }
  return params;
}

export function urlOfState(state) {
  const params = viewParams(state);
  if (state.agg !== DEFAULTS.agg) params.set('agg', state.agg);
  if (state.r0 !== null) params.set('r0', String(state.r0));
  if (state.r1 !== null) params.set('r1', String(state.r1));
  const query = params.toString();
  return query ? `/?${query}` : '/';
}

export function endpoint(path, state, extra) {
  const params = viewParams(state);
  for (const [key, value] of Object.entries(extra ?? {})) params.set(key, String(value));
  return `${path}?${params.toString()}`;
}

// The JSON of an endpoint; a refusal throws an Error with the server's text.
export async function fetchJson(path, state, extra) {
  const response = await fetch(endpoint(path, state, extra), { credentials: 'same-origin' });
  if (!response.ok) {
    const text = (await response.text()).trim();
    throw new Error(text || `${response.status} ${response.statusText}`);
  }
  return response.json();
}

// "chr1:101-200", 1-based and closed, as genome browsers show positions.
export function position(region) {
  return `${region.chrom}:${region.start + 1}-${region.end}`;
}

// The --browserLink template filled in, or null when there is none or it
// is not an http(s) link.
export function browserLink(template, region) {
  if (!template || !/^https?:\/\//i.test(template)) return null;
  return template.replaceAll('{chrom}', encodeURIComponent(region.chrom))
    .replaceAll('{start}', encodeURIComponent(String(region.start + 1)))
    .replaceAll('{end}', encodeURIComponent(String(region.end)));
}
