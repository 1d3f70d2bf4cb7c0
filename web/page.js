// The page over window.elab: the files dropped or chosen, what was found in
// each, the answers, the run and its downloads. Everything happens here;
// nothing is sent anywhere.
(function () {
  'use strict';

  const TEXTS = {
    en: {
      title: 'elab: a training set from a price file',
      intro: 'Your file is read by this page on your own computer: nothing is sent anywhere.',
      files: 'Price files', drop: 'Drop one or several price files here, or choose them:',
      dropNote: "The program's own form or a table from a bank or a portal (CSV, TXT).",
      answers: 'The seven answers', from: 'First date',
      fromNote: 'all = every row, 0 = from the start, or YYYY-MM-DD (default all)',
      to: 'Last date', toNote: '0 = to the end, or YYYY-MM-DD (default 0)',
      variable: 'Output variable', coefficient: 'Coefficient of the standard deviation',
      coefficientNote: 'values further from the mean than this many standard deviations are exceptional (default 2.5)',
      screenOutput: 'Drop the days whose output value is exceptional',
      screenInputs: 'Drop the days whose input values are exceptional',
      days: 'Days in output', reading: 'Reading a table', close: 'Close column (name or number)',
      date: 'Date column (name or number)', dateOrder: 'Date order', fromFile: 'as the file shows',
      dmy: 'day first (dmy)', mdy: 'month first (mdy)', symbol: 'Symbol (a file of several series)',
      run: 'Run', downloads: 'Downloads', loading: 'Loading…', ready: 'Ready: drop or choose a file.',
      reading1: 'Reading {n} file(s)…', running: 'Running…', noFiles: 'Choose a price file first.',
      done: '{n} file(s) prepared.', failed: '{n} file(s) could not be prepared.',
      found: 'What was recognised', form: 'Form', formOwn: "the program's own (NR and NC, then the rows)",
      formTable: 'a table', encoding: 'Encoding', separator: 'Separator', dateColumn: 'Date column',
      closeColumn: 'Close column', order: 'Date order', rows: 'Rows', firstDay: 'First day', lastDay: 'Last day',
      check: 'What --check finds', plot: 'Closes', weekend: 'weekend row', gap: 'gap of more than 10 days',
      screened: 'dropped by the screening', records: '{n} records, layout {layout}', preview: 'The first records',
      trainingFile: 'training file', datesFile: 'dates', datasetFile: 'CSV dataset',
      oneDataset: 'CSV dataset of all files (with Series)', tab: 'tab', space: 'space', none: '(none)',
      asGiven: 'as given: {v}', fromDates: 'as the dates show', order_ymd: 'year, month, day',
      order_dmy: 'day first (dmy)', order_mdy: 'month first (mdy)', plotLabel: 'The closes of {name}, {n} rows',
      vars: ['% change in 1 day', '% change in 5 days', '% change in 10 days', '% change in 20 days',
             'sign of the change in 1 day', 'sign of the change in 5 days', 'sign of the change in 10 days',
             'sign of the change in 20 days', 'mean daily % change over 5 days',
             'mean daily % change over 10 days', 'mean daily % change over 20 days'],
      dayChoices: [[-1, 'every day, with 5 weekday dummies'], [0, 'every day, with a Monday flag'],
                   [2, 'Mondays'], [3, 'Tuesdays'], [4, 'Wednesdays'], [5, 'Thursdays'], [6, 'Fridays']],
    },
    it: {
      title: 'elab: un insieme di addestramento da un file di prezzi',
      intro: 'Il file viene letto da questa pagina sul tuo computer: non viene inviato nulla.',
      files: 'File dei prezzi', drop: 'Trascina qui uno o più file di prezzi, oppure sceglili:',
      dropNote: 'La forma del programma o una tabella di una banca o di un portale (CSV, TXT).',
      answers: 'Le sette risposte', from: 'Prima data',
      fromNote: 'all = tutte le righe, 0 = dall\'inizio, o AAAA-MM-GG (predefinito all)',
      to: 'Ultima data', toNote: '0 = sino alla fine, o AAAA-MM-GG (predefinito 0)',
      variable: 'Variabile in output', coefficient: 'Coefficiente della deviazione standard',
      coefficientNote: 'i valori più lontani dalla media di tante deviazioni standard sono eccezionali (predefinito 2.5)',
      screenOutput: 'Elimina i giorni con il valore di output eccezionale',
      screenInputs: 'Elimina i giorni con valori di input eccezionali',
      days: 'Giorni in output', reading: 'Lettura di una tabella', close: 'Colonna della chiusura (nome o numero)',
      date: 'Colonna della data (nome o numero)', dateOrder: 'Ordine della data', fromFile: 'come mostra il file',
      dmy: 'prima il giorno (dmy)', mdy: 'prima il mese (mdy)', symbol: 'Titolo (un file di più titoli)',
      run: 'Elabora', downloads: 'Scaricamenti', loading: 'Caricamento…', ready: 'Pronto: trascina o scegli un file.',
      reading1: 'Lettura di {n} file…', running: 'Elaborazione…', noFiles: 'Scegli prima un file di prezzi.',
      done: '{n} file elaborati.', failed: '{n} file non elaborati.',
      found: 'Che cosa è stato riconosciuto', form: 'Forma', formOwn: 'quella del programma (NR e NC, poi le righe)',
      formTable: 'una tabella', encoding: 'Codifica', separator: 'Separatore', dateColumn: 'Colonna della data',
      closeColumn: 'Colonna della chiusura', order: 'Ordine della data', rows: 'Righe', firstDay: 'Primo giorno',
      lastDay: 'Ultimo giorno', check: 'Che cosa trova --check', plot: 'Chiusure', weekend: 'riga di sabato o domenica',
      gap: 'buco di più di 10 giorni', screened: 'eliminata dallo screening', records: '{n} record, tracciato {layout}',
      preview: 'I primi record', trainingFile: 'file di addestramento', datesFile: 'date', datasetFile: 'dataset CSV',
      oneDataset: 'dataset CSV di tutti i file (con Series)', tab: 'tabulazione', space: 'spazio', none: '(nessuna)',
      asGiven: 'come indicato: {v}', fromDates: 'come mostrano le date', order_ymd: 'anno, mese, giorno',
      order_dmy: 'prima il giorno (dmy)', order_mdy: 'prima il mese (mdy)', plotLabel: 'Le chiusure di {name}, {n} righe',
      vars: ['var. % a 1 g.', 'var. % a 5 g.', 'var. % a 10 g.', 'var. % a 20 g.', 'segno var. % a 1 g.',
             'segno var. % a 5 g.', 'segno var. % a 10 g.', 'segno var. % a 20 g.', 'media var. % giornal. a 5 g.',
             'media var. % giornal. a 10 g.', 'media var. % giornal. a 20 g.'],
      dayChoices: [[-1, 'tutti con 5 dummy'], [0, 'tutti (flag del lunedì)'], [2, 'lunedì'], [3, 'martedì'],
                   [4, 'mercoledì'], [5, 'giovedì'], [6, 'venerdì']],
    },
  };
  const languages = (navigator.languages && navigator.languages.length ? navigator.languages : [navigator.language || 'en']);
  const lang = /^it\b/i.test(languages[0] || '') ? 'it' : 'en';
  const T = TEXTS[lang];
  function t(key, values) {
    return String(T[key]).replace(/\{(\w+)\}/g, function (_, k) { return values && k in values ? values[k] : ''; });
  }

  const $ = function (sel) { return document.querySelector(sel); };
  function el(tag, attrs, children) {
    const e = document.createElement(tag);
    for (const k in attrs || {}) {
      if (k === 'text') e.textContent = attrs[k]; else e.setAttribute(k, attrs[k]);
    }
    for (const c of children || []) e.append(c);
    return e;
  }
  const SVG = 'http://www.w3.org/2000/svg';
  function svg(tag, attrs) {
    const e = document.createElementNS(SVG, tag);
    for (const k in attrs) e.setAttribute(k, attrs[k]);
    return e;
  }

  function status(text) { $('#status').textContent = text; }

  // The files of the page: name, bytes, what check found and the run gave.
  let files = [];

  function stem(name) { return name.replace(/\.[^.]*$/, '') || name; }
  function isoOf(day) { return day === null ? null : new Date(day * 86400000).toISOString().slice(0, 10); }

  // --- What the file is: encoding and separator as a person would name them.
  function encodingOf(bytes) {
    if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) return 'UTF-8 (BOM)';
    if (bytes[0] === 0xff && bytes[1] === 0xfe) return 'UTF-16 LE';
    if (bytes[0] === 0xfe && bytes[1] === 0xff) return 'UTF-16 BE';
    try { new TextDecoder('utf-8', { fatal: true }).decode(bytes.subarray(0, 1 << 20)); } catch (e) { return 'Latin-1 / Windows-1252'; }
    for (let k = 0; k < Math.min(bytes.length, 1 << 20); ++k) if (bytes[k] > 0x7f) return 'UTF-8';
    return 'ASCII';
  }

  function textOf(bytes) {
    const enc = encodingOf(bytes);
    const label = enc.startsWith('UTF-16 LE') ? 'utf-16le' : enc.startsWith('UTF-16 BE') ? 'utf-16be'
      : enc.startsWith('Latin') ? 'windows-1252' : 'utf-8';
    return new TextDecoder(label).decode(bytes.subarray(0, 1 << 16));
  }

  // The separator and column names of the first line that names a date and
  // a close column.
  function tableHead(bytes, options) {
    const lines = textOf(bytes).split(/\r\n|\r|\n/).slice(0, 40);
    for (const line of lines) {
      let best = null, most = 0;
      for (const sep of ['\t', ';', ',', '|']) {
        const n = line.split(sep).length - 1;
        if (n > most) { most = n; best = sep; }
      }
      if (best === null) continue;
      const names = line.split(best).map(function (s) { return s.trim().replace(/^"|"$/g, ''); });
      try {
        const found = elab.columns(names, options);
        if (found.date !== null && found.close !== null) {
          const rest = lines.slice(lines.indexOf(line) + 1);
          const dates = rest.map(function (l) { return (l.split(best)[found.date] || '').trim().replace(/^"|"$/g, ''); });
          return { separator: best, date: names[found.date], close: names[found.close], order: dateOrder(dates) };
        }
      } catch (e) { /* not this line */ }
    }
    return null;
  }

  // The order of day and month as the dates of a table show it: a first
  // number above 12 is a day, a second one above 12 a day too.
  function dateOrder(dates) {
    let ymd = 0, dmy = 0, mdy = 0;
    for (const d of dates) {
      if (/^\d{4}\D?\d{1,2}\D?\d{1,2}/.test(d)) { ++ymd; continue; }
      const m = /^(\d{1,2})[./ -](\d{1,2})[./ -]\d{2,4}/.exec(d);
      if (!m) continue;
      if (+m[1] > 12) ++dmy;
      if (+m[2] > 12) ++mdy;
    }
    return ymd && !dmy && !mdy ? 'ymd' : dmy && !mdy ? 'dmy' : mdy && !dmy ? 'mdy' : null;
  }

  function separatorName(sep) {
    return sep === '\t' ? t('tab') : sep === ' ' ? t('space') : '"' + sep + '"';
  }

  // --- The form.
  function fillForm() {
    for (const node of document.querySelectorAll('[data-text]')) {
      const key = node.getAttribute('data-text');
      if (typeof T[key] === 'string') node.textContent = T[key];
    }
    document.title = T.title;
    document.documentElement.lang = lang;
    const variable = document.querySelector('select[name=variable]');
    T.vars.forEach(function (text, k) { variable.append(el('option', { value: String(k + 1), text: (k + 1) + ' - ' + text })); });
    const days = document.querySelector('select[name=days]');
    for (const [v, text] of T.dayChoices) days.append(el('option', { value: String(v), text: v + ' = ' + text }));
  }

  function readingOptions() {
    const form = $('#answers');
    const out = {};
    for (const name of ['close', 'date', 'symbol', 'date_order']) {
      const v = form.elements[name].value.trim();
      if (v !== '') out[name] = v;
    }
    return out;
  }

  function answerOptions() {
    const f = $('#answers').elements;
    return Object.assign({
      from: f.from.value.trim() || 'all', to: f.to.value.trim() || '0', variable: f.variable.value,
      coefficient: f.coefficient.value.trim(), screen_output: f.screen_output.checked,
      screen_inputs: f.screen_inputs.checked, days: f.days.value,
    }, readingOptions());
  }

  // --- Reading the files.
  async function take(fileList) {
    const list = Array.from(fileList);
    if (list.length === 0) return;
    status(t('reading1', { n: list.length }));
    files = [];
    for (const f of list) files.push({ name: f.name, bytes: new Uint8Array(await f.arrayBuffer()) });
    await elab.ready;
    $('#reports').replaceChildren();
    $('#downloads').hidden = true;
    for (const file of files) {
      analyse(file);
      render(file);
    }
    status(t('ready'));
  }

  // --check again only when the reading options changed since.
  function analyse(file) {
    const options = readingOptions();
    const key = JSON.stringify(options);
    file.run = null;
    file.screened = null;
    file.error = null;
    if (file.checkedWith === key && file.check) return;
    file.checkedWith = key;
    try {
      file.check = elab.check(file.bytes, options, file.name);
    } catch (e) {
      file.check = null;
      file.error = e.message;
    }
    file.head = file.check && file.check.form === 'table' ? tableHead(file.bytes, options) : null;
  }

  function found(file) {
    const c = file.check;
    const dl = el('dl', { class: 'found' });
    const add = function (key, value) { dl.append(el('dt', { text: t(key) }), el('dd', { text: value })); };
    add('form', c.form === 'table' ? t('formTable') : t('formOwn'));
    add('encoding', encodingOf(file.bytes));
    if (c.form === 'table') {
      const options = readingOptions();
      add('separator', file.head ? separatorName(file.head.separator) : '?');
      add('dateColumn', file.head ? file.head.date : options.date || '?');
      add('closeColumn', file.head ? file.head.close : options.close || '?');
      const order = file.head && file.head.order;
      add('order', options.date_order ? t('asGiven', { v: options.date_order })
        : order ? t('order_' + order) : t('fromDates'));
    }
    const days = c.rows.days.filter(function (d) { return !Number.isNaN(d); });
    add('rows', String(c.rows.days.length));
    add('firstDay', days.length ? isoOf(days.reduce(function (a, b) { return Math.min(a, b); })) : t('none'));
    add('lastDay', days.length ? isoOf(days.reduce(function (a, b) { return Math.max(a, b); })) : t('none'));
    return dl;
  }

  // --- The plot: closes against the days, with the weekend rows, the gaps
  // and the rows the screening drops marked.
  function plot(file) {
    const rows = file.check.rows;
    const points = [];
    for (let k = 0; k < rows.days.length; ++k) if (!Number.isNaN(rows.days[k])) points.push([rows.days[k], rows.closes[k]]);
    const W = 800, H = 260, L = 60, R = 10, TOP = 10, B = 30;
    const root = svg('svg', { class: 'plot', viewBox: '0 0 ' + W + ' ' + H, role: 'img',
                              'aria-label': t('plotLabel', { name: file.name, n: points.length }) });
    if (points.length === 0) return root;
    let x0 = Infinity, x1 = -Infinity, y0 = Infinity, y1 = -Infinity;
    for (const [d, c] of points) { x0 = Math.min(x0, d); x1 = Math.max(x1, d); y0 = Math.min(y0, c); y1 = Math.max(y1, c); }
    if (x1 === x0) x1 = x0 + 1;
    if (y1 === y0) { y1 += 1; y0 -= 1; }
    const X = function (d) { return L + (d - x0) / (x1 - x0) * (W - L - R); };
    const Y = function (c) { return TOP + (y1 - c) / (y1 - y0) * (H - TOP - B); };
    root.append(svg('rect', { x: L, y: TOP, width: W - L - R, height: H - TOP - B, fill: '#fff', stroke: '#d0d7de' }));
    // Gaps first, under the line.
    for (let k = 1; k < points.length; ++k) {
      if (points[k][0] - points[k - 1][0] > 10) {
        root.append(svg('rect', { class: 'gap', x: X(points[k - 1][0]), y: TOP, width: Math.max(2, X(points[k][0]) - X(points[k - 1][0])),
                                  height: H - TOP - B, fill: '#f79009', 'fill-opacity': 0.25 }));
      }
    }
    // At most two points per pixel column: the lowest and the highest.
    const step = Math.max(1, Math.floor(points.length / 1600));
    let path = '';
    for (let k = 0; k < points.length; k += step) {
      let lo = points[k], hi = points[k];
      for (let j = k; j < Math.min(points.length, k + step); ++j) {
        if (points[j][1] < lo[1]) lo = points[j];
        if (points[j][1] > hi[1]) hi = points[j];
      }
      for (const p of lo[0] <= hi[0] ? [lo, hi] : [hi, lo]) path += (path ? 'L' : 'M') + X(p[0]).toFixed(1) + ' ' + Y(p[1]).toFixed(1);
    }
    root.append(svg('path', { d: path, fill: 'none', stroke: '#0a5bb5', 'stroke-width': 1.2 }));
    // Marks spread evenly over the series when there are too many to draw.
    const marked = function (which, most, draw) {
      const all = points.filter(which);
      const step = Math.max(1, Math.ceil(all.length / most));
      for (let k = 0; k < all.length; k += step) root.append(draw(all[k]));
    };
    // Sunday 0 .. Saturday 6: 1970-01-01 was a Thursday.
    const weekday = function (day) { return ((day % 7) + 7 + 4) % 7; };
    marked(function (p) { return weekday(p[0]) === 0 || weekday(p[0]) === 6; }, 2000, function (p) {
      return svg('circle', { class: 'weekend', cx: X(p[0]), cy: Y(p[1]), r: 3, fill: '#b42318' });
    });
    if (file.screened) {
      marked(function (p) { return file.screened.has(p[0]); }, 3000, function (p) {
        return svg('path', { class: 'screened', d: 'M' + X(p[0]).toFixed(1) + ' ' + (Y(p[1]) - 4).toFixed(1) + 'l3.5 6h-7z', fill: '#6f42c1' });
      });
    }
    const axis = function (x, y, text, anchor) {
      const e = svg('text', { x: x, y: y, 'font-size': 12, fill: '#57606a', 'text-anchor': anchor });
      e.textContent = text;
      root.append(e);
    };
    axis(L, H - 10, isoOf(x0), 'start');
    axis(W - R, H - 10, isoOf(x1), 'end');
    axis(L - 4, TOP + 12, String(+y1.toPrecision(6)), 'end');
    axis(L - 4, H - B, String(+y0.toPrecision(6)), 'end');
    return root;
  }

  function legend() {
    const item = function (color, key) { return el('li', {}, [el('span', { style: 'background:' + color }), t(key)]); };
    return el('ul', { class: 'legend' }, [item('#0a5bb5', 'plot'), item('#b42318', 'weekend'), item('#f7b267', 'gap'), item('#6f42c1', 'screened')]);
  }

  function render(file) {
    const id = 'report-' + files.indexOf(file);
    const section = el('section', { class: 'report', id: id, 'aria-label': file.name });
    section.append(el('h3', { text: file.name }));
    if (file.check) {
      section.append(el('h4', { text: t('found') }), found(file));
      for (const w of file.check.warnings) section.append(el('p', { class: 'warning', text: w }));
      section.append(el('h4', { text: t('check') }), el('pre', { class: 'findings', text: file.check.lines.join('\n') }));
      section.append(plot(file), legend());
    }
    if (file.error) section.append(el('pre', { class: 'error', role: 'alert', text: file.error }));
    if (file.run) {
      section.append(el('p', { text: t('records', { n: file.run.count, layout: file.run.layout }) }));
      for (const w of file.run.warnings) section.append(el('p', { class: 'warning', text: w }));
      const text = new TextDecoder('latin1').decode(file.run.text.subarray(0, 4000)).split(/\r?\n/).slice(0, 5);
      section.append(el('h4', { text: t('preview') }),
                     el('pre', { class: 'preview', tabindex: '0', text: text.map(function (l, k) { return (file.run.dates[k] || '') + '  ' + l; }).join('\n') }));
    }
    const old = document.getElementById(id);
    if (old) old.replaceWith(section); else $('#reports').append(section);
  }

  // --- The run and its downloads.
  function link(name, parts, type, label) {
    const url = URL.createObjectURL(new Blob(parts, { type: type }));
    return el('li', {}, [el('a', { href: url, download: name, text: name }), ' (' + label + ')']);
  }

  function run(event) {
    event.preventDefault();
    if (files.length === 0) { status(t('noFiles')); $('#file').focus(); return; }
    status(t('running'));
    const options = answerOptions();
    const list = $('#download-list');
    for (const a of list.querySelectorAll('a')) URL.revokeObjectURL(a.href);
    list.replaceChildren();
    let failed = 0;
    const several = files.length > 1;
    const dataset = [];
    for (const file of files) {
      analyse(file);
      if (!file.error) {
        try {
          file.run = elab.prepare(file.bytes, options, file.name);
          file.screened = screenedDays(file, options);
          // Every dataset begins with its series, a file's stem or its symbol,
          // as the program's --format=csv writes it.
          const csv = elab.dataset(file.bytes, options, file.name, options.symbol || stem(file.name));
          if (dataset.length === 0) dataset.push(csv.header);
          dataset.push(csv.lines);
          const base = several ? stem(file.name) : 'elab';
          list.append(link(base + '.dat', [file.run.text], 'application/octet-stream', file.name + ': ' + t('trainingFile')));
          list.append(link(base + '.dates.txt', [csv.dates], 'text/plain', file.name + ': ' + t('datesFile')));
        } catch (e) {
          file.error = e.message;
        }
      }
      if (file.error) ++failed;
      render(file);
    }
    if (dataset.length) {
      list.append(link(several ? 'dataset.csv' : 'elab.csv', dataset, 'text/csv', several ? t('oneDataset') : t('datasetFile')));
    }
    $('#downloads').hidden = list.children.length === 0;
    status(failed ? t('failed', { n: failed }) : t('done', { n: files.length }));
  }

  // The days a run without the screening writes and this run does not.
  function screenedDays(file, options) {
    if (!options.screen_output && !options.screen_inputs) return null;
    const plain = elab.prepare(file.bytes, Object.assign({}, options, { screen_output: false, screen_inputs: false }), file.name);
    const kept = new Set(file.run.days);
    return new Set(plain.days.filter(function (d) { return !Number.isNaN(d) && !kept.has(d); }));
  }

  // --- Dropping.
  function dropZone() {
    const zone = $('#drop');
    const over = function (on) { return function (e) { e.preventDefault(); zone.classList.toggle('over', on); }; };
    zone.addEventListener('dragenter', over(true));
    zone.addEventListener('dragover', over(true));
    zone.addEventListener('dragleave', over(false));
    zone.addEventListener('drop', function (e) {
      over(false)(e);
      take(e.dataTransfer.files);
    });
    // A file dropped beside the zone is not opened by the browser instead.
    window.addEventListener('dragover', function (e) { e.preventDefault(); });
    window.addEventListener('drop', function (e) { e.preventDefault(); });
  }

  fillForm();
  status(t('loading'));
  dropZone();
  $('#file').addEventListener('change', function (e) { take(e.target.files); });
  $('#answers').addEventListener('submit', run);
  elab.ready.then(function () {
    elab.setLanguage(lang);
    status(t('ready'));
    document.body.dataset.ready = 'yes';
  });
})();
