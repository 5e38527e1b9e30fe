// The console's page: every view reads the JSON API; message data is only ever put in
// the page as text (textContent), never as markup.
'use strict';

const state = { csrf: '', logPage: 0, held: null, charts: {} };

const $ = (id) => document.getElementById(id);

function cell(row, text) {
  const td = document.createElement('td');
  td.textContent = text === undefined || text === null ? '' : String(text);
  row.appendChild(td);
  return td;
}

function clear(node) {
  while (node.firstChild) node.removeChild(node.firstChild);
}

function showError(text) {
  $('error').textContent = text || '';
}

class LoggedOut extends Error {}

async function api(path, options = {}) {
  const init = { credentials: 'same-origin', headers: {} };
  if (options.method) init.method = options.method;
  if (options.body !== undefined) {
    init.body = JSON.stringify(options.body);
    init.headers['Content-Type'] = 'application/json';
  }
  if (init.method && init.method !== 'GET') init.headers['X-CSRF-Token'] = state.csrf;
  const response = await fetch(path, init);
  let data = null;
  try { data = await response.json(); } catch (e) { data = null; }
  if (response.status === 401 && path !== '/api/login') {
    showPage('login');
    throw new LoggedOut();
  }
  if (!response.ok) {
    const error = new Error((data && data.error) || response.statusText);
    error.status = response.status;
    throw error;
  }
  return data;
}

function showPage(name) {
  for (const page of document.querySelectorAll('.page')) page.hidden = page.id !== 'page-' + name;
  $('nav').hidden = name === 'login';
  for (const link of document.querySelectorAll('nav a'))
    link.classList.toggle('current', link.dataset.page === name);
}

async function route() {
  showError('');
  const name = (location.hash || '#overview').slice(1);
  const views = { overview, log: searchLog, quarantine, filters, health };
  const view = views[name] || overview;
  showPage(views[name] ? name : 'overview');
  try {
    await view();
  } catch (e) {
    if (!(e instanceof LoggedOut)) showError(e.message);
  }
}

// ---- Overview ----

function drawChart(id, type, labels, datasets, horizontal = false) {
  if (state.charts[id]) state.charts[id].destroy();
  state.charts[id] = new Chart($(id), {
    type,
    data: { labels, datasets },
    options: { animation: false, responsive: true, maintainAspectRatio: false,
               indexAxis: horizontal ? 'y' : 'x',
               plugins: { legend: { display: datasets.length > 1 } } },
  });
}

function series(rows, key) {
  return (rows || []).map((row) => row[key] || 0);
}

async function overview() {
  const range = new URLSearchParams();
  if ($('overview-since').value) range.set('since', $('overview-since').value);
  if ($('overview-until').value) range.set('until', $('overview-until').value);
  const hourly = new URLSearchParams(range);
  hourly.set('period', 'hour');
  const [days, hours] = await Promise.all([api('/api/stats?' + range), api('/api/stats?' + hourly)]);
  $('overview-total').textContent = `${days.messages || 0} messages held by filters, ${days.hits || 0} hits`;
  const counts = (rows) => [
    { label: 'Messages', data: series(rows, 'messages'), backgroundColor: '#4e79a7' },
    { label: 'Filter hits', data: series(rows, 'hits'), backgroundColor: '#e15759' },
  ];
  const hourRows = (hours.periods || []).slice(-48);
  drawChart('chart-hours', 'bar', hourRows.map((p) => p.start), counts(hourRows));
  drawChart('chart-days', 'bar', (days.periods || []).map((p) => p.start), counts(days.periods));
  const filterRows = days.filters || [];
  drawChart('chart-filters', 'bar', filterRows.map((f) => f.description),
            [{ label: 'Hits', data: series(filterRows, 'hits'), backgroundColor: '#59a14f' }], true);
  const providers = days.providers || [];
  drawChart('chart-providers', 'bar', providers.map((p) => p.provider), [
    { label: 'Scanned', data: series(providers, 'scans'), backgroundColor: '#76b7b2' },
    { label: 'Detected', data: series(providers, 'detections'), backgroundColor: '#f28e2b' },
  ]);
}

// ---- Report log ----

async function searchLog() {
  const params = new URLSearchParams();
  for (const key of ['sender', 'subject', 'filter', 'since', 'until']) {
    const value = $('log-' + key).value.trim();
    if (value) params.set(key, value);
  }
  params.set('page', String(state.logPage));
  const result = await api('/api/log?' + params);
  const body = $('log-table').tBodies[0];
  clear(body);
  for (const line of result.lines) {
    const row = body.insertRow();
    for (const key of ['time', 'action', 'message', 'connector', 'filter', 'result', 'sender', 'ip', 'subject'])
      cell(row, line[key]);
  }
  $('log-page').textContent = `page ${result.page + 1}`;
  $('log-prev').disabled = result.page === 0;
  $('log-next').disabled = !result.more;
}

// ---- Quarantine ----

async function quarantine() {
  const held = await api('/api/quarantine');
  const body = $('held-table').tBodies[0];
  clear(body);
  $('held-empty').hidden = held.length > 0;
  for (const message of held) {
    const row = body.insertRow();
    row.dataset.id = message.id;
    cell(row, message.time);
    cell(row, message.sender);
    cell(row, (message.recipients || []).join(', '));
    cell(row, message.subject);
    cell(row, message.size);
    cell(row, (message.filters || []).join(', '));
    const view = document.createElement('button');
    view.type = 'button';
    view.textContent = 'View';
    view.className = 'held-view';
    view.addEventListener('click', () => showHeld(message.id));
    row.insertCell().appendChild(view);
  }
  if (state.held && !held.some((m) => m.id === state.held)) $('held-detail').hidden = true;
}

function textBlock(parent, title, text) {
  const heading = document.createElement('h4');
  heading.textContent = title;
  const body = document.createElement('pre');
  body.textContent = text;
  parent.append(heading, body);
}

async function showHeld(id) {
  const detail = await api('/api/quarantine/' + encodeURIComponent(id));
  state.held = id;
  $('held-detail').hidden = false;
  $('held-confirm').hidden = true;
  $('held-outcome').textContent = '';
  $('held-title').textContent = detail.message.subject || id;
  $('held-headers').textContent = (detail.headers || []).map((h) => `${h.name}: ${h.value}`).join('\n');
  const parts = $('held-parts');
  clear(parts);
  const list = document.createElement('ul');
  for (const part of detail.parts || []) {
    const item = document.createElement('li');
    item.textContent = `${part.contentType}${part.fileName ? ' "' + part.fileName + '"' : ''}, ${part.size} bytes`;
    list.appendChild(item);
  }
  parts.appendChild(list);
  if (detail.textBody) textBlock(parts, 'Text body', detail.textBody);
  // The HTML body is shown as its source text, never rendered.
  if (detail.htmlBody) textBlock(parts, 'HTML body (source, not rendered)', detail.htmlBody);
}

function confirmHeld(action) {
  state.pending = action;
  $('held-confirm-text').textContent = action === 'release'
    ? 'Release this message to its recipients?' : 'Delete this message for good?';
  $('held-confirm').hidden = false;
}

async function actOnHeld() {
  const action = state.pending;
  $('held-confirm').hidden = true;
  try {
    await api(`/api/quarantine/${encodeURIComponent(state.held)}/${action}`, { method: 'POST' });
    $('held-outcome').textContent = action === 'release' ? 'Released.' : 'Deleted.';
    $('held-detail').hidden = true;
    await quarantine();
  } catch (e) {
    if (!(e instanceof LoggedOut)) $('held-outcome').textContent = e.message;
  }
}

// ---- Filters and health ----

async function filters() {
  const result = await api('/api/filters');
  const body = $('filters-table').tBodies[0];
  clear(body);
  for (const filter of result.filters) {
    const row = body.insertRow();
    cell(row, filter.position);
    cell(row, filter.description + (filter.audited ? ' (audit)' : ''));
    cell(row, filter.enabled ? 'yes' : 'no');
    cell(row, filter.hits);
    cell(row, filter.lastHit ? filter.lastHit.replace('T', ' ') : 'never');
  }
  const list = $('filters-problems');
  clear(list);
  for (const problem of result.problems) {
    const item = document.createElement('li');
    item.textContent = `${problem.file}${problem.line ? ':' + problem.line : ''}: ${problem.message}`;
    list.appendChild(item);
  }
  if (!result.problems.length) {
    const item = document.createElement('li');
    item.textContent = 'No problem found.';
    list.appendChild(item);
  }
}

async function health() {
  const result = await api('/api/health');
  const providers = $('health-providers').tBodies[0];
  clear(providers);
  for (const p of result.providers) {
    const row = providers.insertRow();
    cell(row, p.name);
    cell(row, p.enabled ? 'yes' : 'no');
    cell(row, p.server || '');
    cell(row, p.reachable === undefined ? '' : p.reachable ? 'yes' : 'no: ' + (p.problem || ''));
  }
  const queues = $('health-queues').tBodies[0];
  clear(queues);
  for (const q of result.queues) {
    const row = queues.insertRow();
    cell(row, q.connector);
    cell(row, q.waiting);
  }
  const last = result.lastFiltered;
  $('health-last').textContent = last
    ? `${last.time}: ${last.messageId} (${last.connector}), ${last.filter}`
    : 'none yet';
}

// ---- Start ----

async function login(event) {
  event.preventDefault();
  $('login-error').textContent = '';
  try {
    const result = await api('/api/login', { method: 'POST', body: { password: $('password').value } });
    state.csrf = result.csrf;
    $('password').value = '';
    await route();
  } catch (e) {
    $('login-error').textContent = e.message;
  }
}

async function start() {
  $('login-form').addEventListener('submit', login);
  $('logout').addEventListener('click', async () => {
    await api('/api/logout', { method: 'POST' }).catch(() => {});
    state.csrf = '';
    showPage('login');
  });
  $('overview-range').addEventListener('submit', (e) => { e.preventDefault(); route(); });
  $('log-search').addEventListener('submit', (e) => { e.preventDefault(); state.logPage = 0; route(); });
  $('log-prev').addEventListener('click', () => { state.logPage = Math.max(0, state.logPage - 1); route(); });
  $('log-next').addEventListener('click', () => { state.logPage += 1; route(); });
  $('held-release').addEventListener('click', () => confirmHeld('release'));
  $('held-delete').addEventListener('click', () => confirmHeld('delete'));
  $('held-confirm-yes').addEventListener('click', actOnHeld);
  $('held-confirm-no').addEventListener('click', () => { $('held-confirm').hidden = true; });
  window.addEventListener('hashchange', route);
  try {
    state.csrf = (await api('/api/session')).csrf;
    await route();
  } catch (e) {
    if (!(e instanceof LoggedOut)) showError(e.message);
  }
}

document.addEventListener('DOMContentLoaded', start);
