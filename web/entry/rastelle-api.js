// The module's interface for the page and node, run inside the factory that createRastelle()
// is (emscripten's --post-js): run(), help(), version() and preview(). Each call works in a
// fresh folder of the in-memory file system, removed again before it returns.
(function () {
  'use strict';
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();
  let calls = 0;

  function bytesOf(data) {
    if (typeof data === 'string') return encoder.encode(data);
    if (data instanceof Uint8Array) return data;
    if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer, data.byteOffset, data.byteLength);
    if (data instanceof ArrayBuffer) return new Uint8Array(data);
    return new Uint8Array(0);
  }

  function removeAll(path) {
    for (const name of FS.readdir(path)) {
      if (name === '.' || name === '..') continue;
      const child = path + '/' + name;
      if (FS.isDir(FS.stat(child).mode)) {
        removeAll(child);
      } else {
        FS.unlink(child);
      }
    }
    FS.rmdir(path);
  }

  // Every file under `path`, by its name relative to `top`.
  function filesUnder(path, prefix, found) {
    for (const name of FS.readdir(path)) {
      if (name === '.' || name === '..') continue;
      const child = path + '/' + name;
      const mode = FS.stat(child).mode;
      if (FS.isDir(mode)) {
        filesUnder(child, prefix + name + '/', found);
      } else if (FS.isFile(mode)) {
        found[prefix + name] = FS.readFile(child);
      }
    }
    return found;
  }

  function makeParents(folder, name) {
    const parts = name.split('/');
    let path = folder;
    for (let i = 0; i < parts.length - 1; ++i) {
      if (parts[i] === '' || parts[i] === '.') continue;
      path += '/' + parts[i];
      try {
        FS.mkdir(path);
      } catch (e) {
        // already there
      }
    }
  }

  // Calls `entry` (rastelle_run or rastelle_preview) with the arguments in a fresh folder
  // holding `inputs`; `collect` reads what the call left before the folder goes.
  function call(entry, args, inputs, stdin, collect) {
    try {
      return callIn(entry, args, inputs, stdin, collect);
    } catch (e) {
      // Names the file system can't take, as the tool would report a file it can't make.
      return collect(1, 'rastelle-cli: ' + (e && e.message ? e.message : String(e)) + '\n', null, {});
    }
  }

  function callIn(entry, args, inputs, stdin, collect) {
    const folder = '/run' + ++calls;
    FS.mkdir(folder);
    const stdinPath = folder + '.stdin';
    const allocated = [];
    try {
      FS.writeFile(stdinPath, bytesOf(stdin));
      const given = inputs || {};
      // Every input inside the folder, so that nothing outlives the call.
      for (const name of Object.keys(given)) {
        const inside = name.replace(/^\/+/, '');
        makeParents(folder, inside);
        FS.writeFile(folder + '/' + inside, bytesOf(given[name]));
      }
      FS.chdir(folder);
      const strings = (args || []).map(String).concat([stdinPath]);
      const pointers = strings.map(function (text) {
        const bytes = encoder.encode(text);
        const pointer = _malloc(bytes.length + 1);
        allocated.push(pointer);
        HEAPU8.set(bytes, pointer);
        HEAPU8[pointer + bytes.length] = 0;
        return pointer;
      });
      const argv = _malloc(4 * pointers.length);
      allocated.push(argv);
      for (let i = 0; i < pointers.length; ++i) HEAPU32[(argv >> 2) + i] = pointers[i];
      const status = entry(pointers.length - 1, argv, pointers[pointers.length - 1]);
      const stderr = decoder.decode(HEAPU8.slice(_rastelle_stderr(), _rastelle_stderr() + _rastelle_stderr_size()));
      return collect(status, stderr, folder, given);
    } finally {
      for (const pointer of allocated) _free(pointer);
      FS.chdir('/');
      removeAll(folder);
      FS.unlink(stdinPath);
    }
  }

  Module['run'] = function (args, inputs, stdin) {
    return call(_rastelle_run, args, inputs, stdin, function (status, stderr, folder, given) {
      const stdout = folder === null ? new Uint8Array(0)
        : HEAPU8.slice(_rastelle_stdout(), _rastelle_stdout() + _rastelle_stdout_size());
      const files = folder === null ? {} : filesUnder(folder, '', {});
      for (const name of Object.keys(given)) {
        delete files[name.replace(/^(\.?\/)+/, '')];
      }
      return { status: status, stdout: stdout, stderr: stderr, files: files };
    });
  };

  Module['help'] = function () {
    return decoder.decode(Module['run'](['--help'], {}).stdout);
  };

  Module['version'] = function () {
    return decoder.decode(Module['run'](['--version'], {}).stdout);
  };

  // The first frame laid out as the conversion lays it out, cells side by side with their
  // fill: width x height tones (0 paper, 1 ink, 2 fill of 0s, 3 fill of 1s, 4 transparent),
  // every step-th pixel of a layout over 4096 pixels across or down.
  Module['preview'] = function (args, inputs) {
    return call(_rastelle_preview, args, inputs, null, function (status, stderr, folder) {
      const number = folder === null ? function () { return 0; } : _rastelle_preview_number;
      const tones = HEAPU8.slice(_rastelle_preview_tones(), _rastelle_preview_tones() + number(0) * number(1));
      return {
        status: status, stderr: stderr, width: number(0), height: number(1), step: number(2),
        cellWidth: number(3), cellHeight: number(4), frames: number(5), tones: tones
      };
    });
  };
})();
