'use strict';
// The page: every option of rastelle-cli as a control, built from one table that also makes
// the command line, the address and the arguments of the runs in the worker.

// Each row: the option, its control (range, choice, flag, header, number, text, mask), the
// label, the choices and the default (a default is left out of the command line), and where
// it applies: 'both' ways, the 'image' only, or only the way 'back' from text.
const GROUPS = [
  ['digits', 'Black and white'],
  ['fill', 'Fill and width'],
  ['text', 'Assembler text'],
  ['layout', 'Bytes'],
  ['cells', 'Cells and tiles'],
  ['mask', 'Mask'],
  ['geometry', 'Geometry'],
];
const SYNTAXES = ['tasm', 'zilog', 'intel', 'ca65', 'acme', 'sdas', 'gas', 'c', 'xbm'];
const OPTIONS = [
  { option: '--threshold', group: 'digits', kind: 'range', label: 'Black/white threshold',
    min: 0, max: 255, def: '128', to: 'both' },
  { option: '--dither', group: 'digits', kind: 'choice', label: 'Dither',
    values: ['none', 'ordered', 'floyd-steinberg', 'atkinson'], def: 'none', to: 'both' },
  { option: '--invert', group: 'digits', kind: 'flag', label: 'Invert (1 for light pixels)', to: 'both' },
  { option: '--background', group: 'digits', kind: 'choice', label: 'Transparent pixels seen against',
    values: ['white', 'black'], def: 'white', to: 'both' },
  { option: '--fill', group: 'fill', kind: 'choice', label: 'Fill rows to whole bytes with',
    values: ['zeros', 'ones', 'none'], def: 'zeros', to: 'both' },
  { option: '--centre', group: 'fill', kind: 'flag', label: 'Centre the image in the fill', to: 'both' },
  { option: '--width-unit', group: 'fill', kind: 'choice', label: 'Width in',
    values: ['bits', 'bytes'], def: 'bits', to: 'both' },
  { option: '--syntax', group: 'text', kind: 'choice', label: 'Assembler',
    values: SYNTAXES, def: 'tasm', to: 'both' },
  { option: '--label', group: 'text', kind: 'text', label: 'Label name', hint: 'none', to: 'both' },
  { option: '--label-prefix', group: 'text', kind: 'text', label: 'Label prefix', hint: 'none', to: 'both' },
  { option: '--radix', group: 'text', kind: 'choice', label: 'Radix',
    values: ['', 'bin', 'hex', 'dec'], names: { '': 'default (bin; C: hex)' }, def: '', to: 'both' },
  { option: '--per-line', group: 'text', kind: 'number', label: 'Literals a line', min: 1,
    hint: 'a row or page', to: 'both' },
  { option: '--comment', group: 'text', kind: 'flag', label: 'Comment drawing each row', to: 'both' },
  { option: '--no-header', group: 'text', kind: 'header', label: 'Header (width, height)', to: 'both' },
  { option: '--symbols', group: 'text', kind: 'flag', label: 'Symbols (width, height, table)', to: 'both' },
  { option: '--target', group: 'text', kind: 'choice', label: 'Target',
    values: ['', 'ssd1306', 'adafruit-gfx', 'u8g2', 'st7920', 'epaper'], names: { '': 'none' },
    def: '', to: 'both' },
  { option: ['--binary', '--preview', '--preview-full'], group: 'text', kind: 'form', label: 'Output',
    values: ['', '--binary', '--preview', '--preview-full'],
    names: { '': 'text', '--binary': 'bytes (--binary)', '--preview': 'block drawing (--preview)',
      '--preview-full': 'block drawing, every pixel (--preview-full)' },
    def: '', to: 'image' },
  { option: '--layout', group: 'layout', kind: 'choice', label: 'Layout',
    values: ['rows', 'pages', 'strips'], def: 'rows', to: 'both' },
  { option: '--bit-order', group: 'layout', kind: 'choice', label: 'First pixel in',
    values: ['', 'msb', 'lsb'], names: { '': 'default (rows: msb)', msb: 'bit 7 (msb)', lsb: 'bit 0 (lsb)' },
    def: '', to: 'both' },
  { option: '--frames', group: 'layout', kind: 'choice', label: 'Frames of a GIF',
    values: ['first', 'all'], def: 'first', to: 'both' },
  { option: '--cell', group: 'cells', kind: 'text', label: 'Cells', hint: 'as 8x8', to: 'both' },
  { option: '--cell-order', group: 'cells', kind: 'choice', label: 'Cell order',
    values: ['rows', 'columns'], def: 'rows', to: 'both' },
  { option: '--skip-empty', group: 'cells', kind: 'flag', label: 'Skip empty cells', to: 'both' },
  { option: '--unique', group: 'cells', kind: 'flag', label: 'Unique tiles and a map', to: 'image' },
  { option: '--mirror', group: 'cells', kind: 'flag', label: 'Mirror: flipped tiles once', to: 'image' },
  { option: '--attr-in-map', group: 'cells', kind: 'flag', label: 'Flips in the map', to: 'image' },
  { option: '--map-base', group: 'cells', kind: 'number', label: 'Map base', min: 0, max: 65535,
    hint: '0', to: 'image' },
  { option: '--empty-index', group: 'cells', kind: 'number', label: 'Empty cell index', min: 0,
    max: 65535, hint: '0', to: 'image' },
  { option: '--mask', group: 'mask', kind: 'mask', label: 'Mask',
    values: ['', 'alpha', 'colour'], names: { '': 'none', alpha: 'alpha', colour: 'key colour' },
    def: '', to: 'both' },
  { option: '--mask-bit', group: 'mask', kind: 'choice', label: 'Mask 1 for',
    values: ['transparent', 'opaque'], def: 'transparent', to: 'both' },
  { option: '--mask-layout', group: 'mask', kind: 'choice', label: 'Mask bytes',
    values: ['before', 'after', 'block'], def: 'before', to: 'both' },
  { option: '--crop', group: 'geometry', kind: 'text', label: 'Crop', hint: 'X,Y,W,H', to: 'image' },
  { option: '--resize', group: 'geometry', kind: 'text', label: 'Resize', hint: 'as 128x64', to: 'image' },
  { option: '--fit', group: 'geometry', kind: 'choice', label: 'Fit within box',
    values: ['contain', 'cover', 'stretch'], def: 'contain', to: 'image' },
  { option: '--scale', group: 'geometry', kind: 'number', label: 'Scale', min: 1, max: 256,
    hint: '1', to: 'image' },
  { option: '--rotate', group: 'geometry', kind: 'choice', label: 'Rotate clockwise',
    values: ['', '90', '180', '270'], names: { '': 'none', 90: '90°', 180: '180°', 270: '270°' },
    def: '', to: 'image' },
  { option: '--flip', group: 'geometry', kind: 'choice', label: 'Flip',
    values: ['', 'horizontal', 'vertical', 'both'], names: { '': 'none' }, def: '', to: 'image' },
  { option: '--trim', group: 'geometry', kind: 'flag', label: 'Trim edges of 0s', to: 'image' },
  { option: '--size', group: 'back', kind: 'text', label: 'Picture size', hint: 'from the header',
    to: 'back' },
];

// The usual extension of each syntax's text; what --target picks when no syntax is given.
const EXTENSIONS = { tasm: '.asm', zilog: '.asm', intel: '.asm', ca65: '.s', acme: '.a',
  sdas: '.s', gas: '.s', c: '.h', xbm: '.xbm' };
const TARGET_SYNTAX = { 'adafruit-gfx': 'c', u8g2: 'xbm' };

const $ = (id) => document.getElementById(id);
const idOf = (row) => 'opt-' + (Array.isArray(row.option) ? 'output' : row.option.slice(2));
const keyOf = (row) => (Array.isArray(row.option) ? 'output' : row.option.slice(2));

function buildControls() {
  const containers = {};
  for (const [group, title] of GROUPS) {
    const set = document.createElement('fieldset');
    const legend = document.createElement('legend');
    legend.textContent = title;
    set.append(legend);
    $('option-groups').append(set);
    containers[group] = set;
  }
  containers.back = $('back-options');
  for (const row of OPTIONS) {
    const id = idOf(row);
    const field = document.createElement('div');
    field.className = 'field ' + row.kind;
    field.dataset.options = [].concat(row.option).join(' ');
    const label = document.createElement('label');
    label.htmlFor = id;
    label.textContent = row.label;
    let control;
    if (row.kind === 'flag' || row.kind === 'header') {
      control = document.createElement('input');
      control.type = 'checkbox';
      field.append(control, label);
    } else if (row.kind === 'choice' || row.kind === 'form' || row.kind === 'mask') {
      control = document.createElement('select');
      for (const value of row.values) {
        const item = new Option((row.names && row.names[value]) || value, value);
        control.append(item);
      }
      field.append(label, control);
      if (row.kind === 'mask') {
        const colour = document.createElement('input');
        colour.type = 'color';
        colour.id = id + '-colour';
        colour.value = '#ff00ff';
        const colourLabel = document.createElement('label');
        colourLabel.htmlFor = colour.id;
        colourLabel.textContent = 'Key colour';
        field.append(colourLabel, colour);
      }
    } else {
      control = document.createElement('input');
      control.type = row.kind === 'text' ? 'text' : 'number';
      if (row.min !== undefined) control.min = row.min;
      if (row.max !== undefined) control.max = row.max;
      if (row.kind === 'range') {
        control.type = 'range';
        const number = document.createElement('input');
        number.type = 'number';
        number.min = row.min;
        number.max = row.max;
        number.id = id + '-number';
        const numberLabel = document.createElement('label');
        numberLabel.htmlFor = number.id;
        numberLabel.className = 'hidden-label';
        numberLabel.textContent = row.label + ' as a number';
        field.append(label, control, numberLabel, number);
        control.addEventListener('input', () => { number.value = control.value; });
        number.addEventListener('input', () => {
          if (number.value !== '' && +number.value >= row.min && +number.value <= row.max) {
            control.value = number.value;
          }
        });
      } else {
        control.placeholder = row.hint || '';
        control.spellcheck = false;
        field.append(label, control);
      }
    }
    control.id = id;
    containers[row.group].append(field);
  }
  setSettings(new URLSearchParams());
}

// The settings as the address keeps them: an option's name without its dashes, and its value
// where it takes one; defaults are left out.
function getSettings() {
  const settings = new URLSearchParams();
  for (const row of OPTIONS) {
    const control = $(idOf(row));
    const key = keyOf(row);
    if (row.kind === 'flag') {
      if (control.checked) settings.set(key, '');
    } else if (row.kind === 'header') {
      if (!control.checked) settings.set(key, '');
    } else if (row.kind === 'mask') {
      if (control.value === 'alpha') settings.set(key, 'alpha');
      if (control.value === 'colour') settings.set(key, $(idOf(row) + '-colour').value.toUpperCase());
    } else if (control.value !== (row.def || '')) {
      settings.set(key, control.value);
    }
  }
  return settings;
}

function setSettings(settings) {
  for (const row of OPTIONS) {
    const control = $(idOf(row));
    const key = keyOf(row);
    const value = settings.get(key);
    if (row.kind === 'flag') {
      control.checked = value !== null;
    } else if (row.kind === 'header') {
      control.checked = value === null;
    } else if (row.kind === 'mask') {
      const colour = /^#[0-9A-Fa-f]{6}$/.test(value || '');
      control.value = colour ? 'colour' : value === 'alpha' ? 'alpha' : '';
      if (colour) $(idOf(row) + '-colour').value = value.toLowerCase();
    } else {
      control.value = value !== null ? value : row.def || '';
      if (control.value !== (value !== null ? value : row.def || '')) control.value = row.def || '';
      if (row.kind === 'range') $(idOf(row) + '-number').value = control.value;
    }
  }
}

// The arguments for one way: the command line's options, in the table's order.
function optionArgs(settings, way) {
  const args = [];
  for (const row of OPTIONS) {
    if (row.to !== 'both' && row.to !== way) continue;
    const key = keyOf(row);
    if (!settings.has(key)) continue;
    const value = settings.get(key);
    if (row.kind === 'form') args.push(value);
    else if (row.kind === 'flag' || row.kind === 'header') args.push(row.option);
    else args.push(row.option, value);
  }
  return args;
}

// A file name as an argument: never taken for an option.
const fileArg = (name) => (name.startsWith('-') ? ['--', name] : [name]);

const stem = (name) => name.replace(/\.[^.]*$/, '') || name;

function shellWord(word) {
  return /^[A-Za-z0-9_.,\/:=+@%-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
}

// The text's file: named after the image with the syntax's usual extension.
function textName(settings) {
  const base = stem(image ? image.name : 'image');
  const form = settings.get('output');
  if (form === '--binary') return base + '.bin';
  if (form) return base + '.txt';
  const syntax = settings.get('syntax') || TARGET_SYNTAX[settings.get('target')] || 'tasm';
  return base + EXTENSIONS[syntax];
}

// ---- the worker: a newer request replaces an older one ----------------------------------
let worker = null;
let workerReady = false;
let busy = null; // the request the worker works on
const waiting = new Map(); // of each kind, the newest request not yet sent
let lastId = 0;
let workerImage = 0; // the serial number of the image the worker holds

function startWorker() {
  if (typeof RASTELLE_MODULE_SOURCE !== 'string' || typeof rastelleWorker !== 'function') {
    showError($('error'), 'The converter (rastelle-source.js) is missing beside this page.');
    setState('failed');
    return;
  }
  const source = new Blob([RASTELLE_MODULE_SOURCE, '\n;(' + rastelleWorker.toString() + ')();\n'],
    { type: 'text/javascript' });
  const url = URL.createObjectURL(source);
  worker = new Worker(url);
  URL.revokeObjectURL(url);
  workerReady = false;
  workerImage = 0;
  worker.onmessage = (event) => received(event.data);
  worker.onerror = (event) => {
    event.preventDefault();
    const request = busy;
    busy = null;
    if (request) finished(request, { status: 1, stderr: 'rastelle-cli: ' + event.message + '\n' });
    restartWorker();
  };
}

function restartWorker() {
  if (worker) worker.terminate();
  startWorker();
  sendNext();
}

function request(message) {
  message.id = ++lastId;
  waiting.set(message.kind, message);
  setState('busy');
  if (outdates(message)) {
    busy = null;
    restartWorker();
  } else {
    sendNext();
  }
}

// Whether a newer request stops the worker's work rather than wait for it: when the older one
// converts another image, has shown its preview already (the text is the slow part; a dragged
// slider's previews come as fast as the worker makes them), or has run long.
function outdates(message) {
  if (!busy || busy.kind !== message.kind) return false;
  const running = performance.now() - busy.started;
  if (message.kind !== 'convert') return running > 200;
  return busy.image !== message.image || busy.previewShown || running > 1000;
}

function sendNext() {
  if (busy || waiting.size === 0 || !workerReady) return;
  busy = waiting.values().next().value;
  waiting.delete(busy.kind);
  busy.started = performance.now();
  // The image goes to a worker once, not with every move of the slider.
  const { image: sent, ...message } = busy;
  if (sent) {
    message.image = { serial: sent.serial, name: sent.name };
    if (workerImage !== sent.serial) message.image.bytes = sent.bytes;
    workerImage = sent.serial;
  }
  worker.postMessage(message);
}

function received(message) {
  if (message.kind === 'ready') {
    if (message.failed) {
      showError($('error'), 'The converter did not start: ' + message.failed);
      setState('failed');
      return;
    }
    workerReady = true;
    $('version').textContent = message.version.trim();
    $('help').textContent = message.help;
    sendNext();
    if (!busy) setState('idle');
    return;
  }
  if (!busy || message.id !== busy.id) return; // a stopped request's
  // A newer request of the same kind waits: this result is out of date already.
  const current = !waiting.has(busy.kind);
  if (message.kind === 'preview') {
    busy.previewShown = current;
    if (current) showPreview(message);
    return;
  }
  const done = busy;
  busy = null;
  if (current) finished(done, message);
  sendNext();
  if (!busy) setState('idle');
}

function finished(request, message) {
  if (request.kind === 'reverse') showPicture(request, message);
  else if (request.kind === 'convert') showText(request, message);
}

function setState(state) {
  document.body.dataset.state = state;
  const words = { busy: 'Converting…', idle: image ? 'Ready.' : 'Open an image to start.',
    failed: 'Not working.' };
  $('status').textContent = words[state] || '';
}

// ---- converting the image -------------------------------------------------------------
let image = null; // { name, bytes, serial }: a new serial for each image opened
let result = null; // { bytes, name }

// The address keeps the settings, so that a link reproduces them.
function keepSettings() {
  const settings = getSettings();
  const hash = settings.toString().replace(/=(&|$)/g, '$1');
  if (location.hash.slice(1) !== hash) {
    history.replaceState(null, '', hash ? '#' + hash : location.pathname + location.search);
  }
  return settings;
}

function changed() {
  const settings = keepSettings();
  const args = optionArgs(settings, 'image');
  const words = ['rastelle-cli'].concat(args);
  if (image && !settings.get('output')?.startsWith('--preview')) words.push('-o', textName(settings));
  words.push(...fileArg(image ? image.name : 'IMAGE'));
  $('command').value = words.map(shellWord).join(' ');
  convert(settings, args);
}

let converted = ''; // what the last request converted: a change that changes nothing converts nothing

function convert(settings, args) {
  if (!image) return;
  const key = image.serial + ' ' + JSON.stringify(args);
  if (key === converted) return;
  converted = key;
  const form = settings.get('output');
  const previewArgs = args.filter((arg) => arg !== form);
  const box = { width: Math.max(64, $('preview-box').clientWidth - 4), height: 320 };
  request({
    kind: 'convert', args: args.concat(fileArg(image.name)), previewArgs: previewArgs.concat(fileArg(image.name)),
    image, box, binary: form === '--binary', name: textName(settings),
  });
}

function showPreview(message) {
  const canvas = $('preview');
  const picture = message.picture;
  canvas.width = picture.width;
  canvas.height = picture.height;
  canvas.dataset.scale = picture.scale;
  if (picture.width > 0 && picture.height > 0) {
    canvas.getContext('2d').putImageData(new ImageData(picture.rgba, picture.width, picture.height), 0, 0);
  }
  // Of a layout sampled by the module, to the nearest step.
  let note = (message.sampled ? 'about ' : '') + message.width + ' × ' + message.height + ' digits as laid out';
  if (picture.step > 1) note += ', one of every ' + picture.step + ' × ' + picture.step + ' shown';
  else if (picture.scale > 1) note += ', each ' + picture.scale + ' × ' + picture.scale + ' screen pixels';
  if (message.frames > 1) note += '; ' + message.frames + ' frames, the first shown';
  $('preview-note').textContent = note;
}

function showText(request, message) {
  const ok = message.status === 0;
  if (ok && message.stderr) showError($('error'), message.stderr, 'note');
  else if (ok) hideError($('error'));
  else showError($('error'), message.stderr || 'rastelle-cli: failed (status ' + message.status + ')\n');
  result = ok ? { bytes: message.stdout, name: request.name } : null;
  if (!ok) {
    const canvas = $('preview');
    canvas.width = 0;
    canvas.height = 0;
    $('preview-note').textContent = '';
  }
  $('text').value = ok ? message.shown.text : '';
  $('text-size').textContent = ok ? '(' + sizeWords(message.stdout.length) + ')' : '';
  $('text-note').textContent = ok && !message.shown.whole
    ? 'The beginning is shown; Copy and Download take the whole text.' : '';
  $('copy').disabled = !ok || request.binary; // bytes are no text for the clipboard
  $('download').disabled = !ok;
}

function sizeWords(bytes) {
  const exact = bytes.toLocaleString('en') + (bytes === 1 ? ' byte' : ' bytes');
  if (bytes < 1024 * 1024) return exact;
  return (bytes / 1048576).toFixed(1) + ' MiB, ' + exact;
}

function showError(element, text, kind) {
  element.hidden = false;
  element.className = kind || 'error';
  element.textContent = text.trimEnd();
}

function hideError(element) {
  element.hidden = true;
  element.textContent = '';
}

function save(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

async function copyText(text, button) {
  const was = button.textContent;
  try {
    await navigator.clipboard.writeText(text);
    button.textContent = 'Copied';
  } catch (error) {
    button.textContent = 'Not copied';
  }
  setTimeout(() => { button.textContent = was; }, 1500);
}

async function openImage(file) {
  if (!file) return;
  setState('busy');
  image = { name: file.name || 'pasted.png', bytes: new Uint8Array(await file.arrayBuffer()),
    serial: image ? image.serial + 1 : 1 };
  $('image-name').textContent = image.name + ' (' + sizeWords(image.bytes.length) + ')';
  changed();
}

// ---- the way back ---------------------------------------------------------------------
let backText = null; // { name, bytes } as opened, until the text is edited
let picture = null; // { bytes, name }

function makePicture() {
  const typed = $('back-text').value;
  const text = backText || { name: 'pasted.asm', bytes: new TextEncoder().encode(typed) };
  if (text.bytes.length === 0) return;
  const output = stem(text.name) + '.png';
  const args = ['--reverse'].concat(optionArgs(getSettings(), 'back'));
  args.push('-o', output, ...fileArg(text.name));
  request({ kind: 'reverse', args, inputs: { [text.name]: text.bytes }, output });
}

function showPicture(request, message) {
  const img = $('picture');
  if (img.src) URL.revokeObjectURL(img.src);
  if (message.status !== 0 || !message.png) {
    showError($('back-error'), message.stderr || 'rastelle-cli: no picture\n');
    img.hidden = true;
    img.removeAttribute('src');
    picture = null;
  } else {
    if (message.stderr) showError($('back-error'), message.stderr, 'note');
    else hideError($('back-error'));
    picture = { bytes: message.png, name: request.output };
    img.onload = () => {
      const k = Math.max(1, Math.min(16, Math.floor(Math.min(
        ($('picture-box').clientWidth - 4) / img.naturalWidth, 256 / img.naturalHeight))));
      img.style.width = img.naturalWidth * k + 'px';
      img.hidden = false;
    };
    img.src = URL.createObjectURL(new Blob([message.png], { type: 'image/png' }));
  }
  $('download-picture').disabled = !picture;
}

async function openText(file) {
  if (!file) return;
  setState('busy');
  const bytes = new Uint8Array(await file.arrayBuffer());
  backText = { name: file.name || 'text.asm', bytes };
  $('back-text').value = new TextDecoder().decode(bytes.subarray(0, 1 << 20));
  makePicture();
}

// ---- wiring ---------------------------------------------------------------------------
function wire() {
  // A field of words converts when it is left or Enter is pressed, not at each keystroke (a
  // half-typed "8" is no cell size); the slider, its number and the lists at once.
  $('option-groups').addEventListener('input', (event) => {
    const words = event.target.type === 'text' || event.target.type === 'number';
    if (!words || event.target.id === 'opt-threshold-number') changed();
  });
  $('option-groups').addEventListener('change', changed);
  $('back-options').addEventListener('input', keepSettings);
  $('reset').addEventListener('click', () => { setSettings(new URLSearchParams()); changed(); });
  // Emptied once read, so that choosing the same file again (changed on disk) reads it again.
  for (const [id, open] of [['image-file', openImage], ['text-file', openText]]) {
    $(id).addEventListener('change', (e) => {
      open(e.target.files[0]);
      e.target.value = '';
    });
  }
  $('back-text').addEventListener('input', () => { backText = null; });
  $('back-text').addEventListener('paste', () => setTimeout(makePicture, 0)); // once it is in
  $('make-picture').addEventListener('click', makePicture);
  $('copy').addEventListener('click', () => copyText(new TextDecoder().decode(result.bytes), $('copy')));
  $('copy-command').addEventListener('click', () => copyText($('command').value, $('copy-command')));
  $('download').addEventListener('click', () => save(result.bytes, result.name, 'application/octet-stream'));
  $('download-picture').addEventListener('click', () => save(picture.bytes, picture.name, 'image/png'));
  const drop = $('drop');
  drop.addEventListener('dragover', (e) => { e.preventDefault(); drop.classList.add('over'); });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (e) => {
    e.preventDefault();
    drop.classList.remove('over');
    openImage(e.dataTransfer.files[0]);
  });
  document.addEventListener('paste', (e) => {
    const file = Array.from(e.clipboardData.files)[0];
    if (file && file.type.startsWith('image/')) {
      e.preventDefault();
      openImage(file);
    }
  });
  window.addEventListener('hashchange', () => {
    setSettings(new URLSearchParams(location.hash.slice(1)));
    changed();
  });
}

buildControls();
setSettings(new URLSearchParams(location.hash.slice(1)));
wire();
changed();
setState('starting');
startWorker();
