// window.elab: the core's prepare() and --check on the bytes of a price
// file, run in this page. The options are named as Python's keywords ("from"
// for Python's from_); a failure throws an Error whose message is the
// program's text, with the fix spelt as this API spells it.
(function () {
  'use strict';

  let core = null;
  let answerNames = [];  // [this API's name, option] in the order of the questions

  function failure(error) {
    const e = new Error(error.message.replace(/\r\n/g, '\n').replace(/^\n+|\n+$/g, ''));
    e.code = error.code;
    e.status = error.status;
    return e;
  }

  // A value as the command line spells it: yes/no for booleans.
  function optionText(value) {
    if (value === true) return 'yes';
    if (value === false) return 'no';
    return String(value);
  }

  // The answers by name, with the program's defaults for the dates ("all"
  // and the end).
  function answersOf(options) {
    const given = { from: 'all', to: 0 };
    const out = {};
    for (const [name] of answerNames) {
      const value = options[name];
      const taken = value === undefined || value === null ? given[name] : value;
      if (taken !== undefined) out[name] = optionText(taken);
    }
    return out;
  }

  function choiceOf(options) {
    const out = {};
    for (const name of ['close', 'date', 'symbol', 'date_order']) {
      if (options[name] !== undefined && options[name] !== null) out[name] = optionText(options[name]);
    }
    return out;
  }

  const known = new Set(['from', 'to', 'variable', 'coefficient', 'screen_output', 'screen_inputs', 'days',
                         'test_from', 'close', 'date', 'symbol', 'date_order']);

  // ISO dates of the records' days, null for a record with no calendar date.
  function withDates(r) {
    r.dates = Array.from(r.days, function (d) { return Number.isNaN(d) ? null : new Date(d * 86400000).toISOString().slice(0, 10); });
    return r;
  }
  function checkedOptions(options) {
    options = options || {};
    for (const name of Object.keys(options)) {
      if (!known.has(name)) throw new TypeError('elab: no option ' + name);
    }
    return options;
  }

  function loaded() {
    if (core === null) throw new Error('elab: the module is not loaded yet: await elab.ready');
    return core;
  }

  // The file in the module's memory only, under name (messages name it), for
  // the length of one call.
  function withFile(bytes, name, body) {
    loaded();
    if (!(bytes instanceof Uint8Array)) throw new TypeError('elab: the price file must be a Uint8Array');
    const base = String(name || 'prices').replace(/[\/\0]/g, '_') || 'prices';
    const FS = core.FS;
    try { FS.mkdir('/in'); } catch (e) { /* there already */ }
    FS.chdir('/in');
    FS.writeFile(base, bytes);
    try {
      const out = body(base);
      if (out.error) throw failure(out.error);
      return out;
    } finally {
      FS.unlink(base);
    }
  }

  const elab = {
    // The training file and its records: text (the bytes of elab.dat),
    // dates (ISO, null for a record with no calendar date), days (since
    // 1970-01-01, a Float64Array, NaN for no calendar date), count, layout,
    // columns, warnings. With test_from, {train, test}: the training set (the
    // run over the days before that date) and the test set, each so.
    prepare(bytes, options, name) {
      options = checkedOptions(options);
      const answers = answersOf(options);
      const choice = choiceOf(options);
      return withFile(bytes, name, function (path) {
        const r = core.prepare(path, answers, choice);
        if (r.error) return r;
        if (r.train) {
          withDates(r.train);
          withDates(r.test);
          return r;
        }
        return withDates(r);
      });
    },
    // --check: its lines (the findings, then the count line) and count; the
    // findings shown, what the reading went on past, the form of the file
    // and its rows as read (days and closes, in date order).
    check(bytes, options, name) {
      options = checkedOptions(options);
      const choice = choiceOf(options);
      return withFile(bytes, name, function (path) { return core.check(path, choice); });
    },
    // The records as the program's --format=csv writes them: the header and
    // the lines, each led by series where it is given (one dataset of
    // several files); and dates, the days as --dates writes them.
    dataset(bytes, options, name, series) {
      options = checkedOptions(options);
      const answers = answersOf(options);
      const choice = choiceOf(options);
      return withFile(bytes, name, function (path) { return core.dataset(path, answers, choice, series); });
    },
    // The places of the date, close and symbol columns among a table's
    // names, and the program's text when one is missing.
    columns(names, options) {
      const r = core.columnsNamed(names, choiceOf(checkedOptions(options)));
      if (r.error) throw failure(r.error);
      return r;
    },
    answerNames() { return answerNames.map(function (p) { return p.slice(); }); },
    // The language of the core's texts: "it" gives Italian, any other
    // English (the default). Returns the one taken, "it" or "en".
    setLanguage(language) { return loaded().setLanguage(String(language)); },
    language() { return loaded().language(); },
  };

  elab.ready = elabCore({ print: function () {}, printErr: function () {} }).then(function (m) {
    core = m;
    answerNames = core.answerNames();
    return elab;
  });
  // eslint-disable-next-line no-undef
  const scope = typeof window !== 'undefined' ? window : globalThis;
  scope.elab = elab;
})();
