'use strict';
// The worker's whole source, started from a Blob after the module's source (pages opened as
// file:// may not start a worker from a file). It converts and draws the preview, so that the
// page's thread only swaps results in.
function rastelleWorker() {
  const SHOWN_BYTES = 1 << 18; // of the text, shown in the page (more takes the page's thread
  // longer to lay out than a user may wait); Copy and Download take all
  const ready = createRastelle();
  let image = null; // { serial, name, bytes }: sent once, converted with each setting
  ready.then((rastelle) => {
    self.postMessage({ kind: 'ready', help: rastelle.help(), version: rastelle.version() });
  }, (error) => {
    self.postMessage({ kind: 'ready', failed: String(error) });
  });

  // A copy that owns its buffer, so that it can be transferred.
  function own(bytes) {
    return bytes.byteOffset === 0 && bytes.byteLength === bytes.buffer.byteLength
      ? bytes : bytes.slice();
  }

  // The part of the text the page shows: whole lines up to SHOWN_BYTES, or a hex dump of
  // bytes that are no text (--binary).
  function shownText(bytes, binary) {
    if (binary) {
      const lines = [];
      const end = Math.min(bytes.length, SHOWN_BYTES / 4);
      for (let at = 0; at < end; at += 16) {
        const row = Array.from(bytes.subarray(at, Math.min(at + 16, end)),
          (b) => b.toString(16).padStart(2, '0'));
        lines.push(at.toString(16).padStart(8, '0') + '  ' + row.join(' '));
      }
      return { text: lines.join('\n'), whole: end === bytes.length };
    }
    if (bytes.length <= SHOWN_BYTES)
      return { text: new TextDecoder().decode(bytes), whole: true };
    const cut = bytes.lastIndexOf(10, SHOWN_BYTES) + 1 || SHOWN_BYTES;
    return { text: new TextDecoder().decode(bytes.subarray(0, cut)), whole: false };
  }

  // The colours of the engine's tones, as the window draws them: paper white, ink dark blue,
  // the fill of 0s and of 1s in lighter, greyed tints of the two; transparent is a checkerboard.
  const TONES = [[255, 255, 255], [24, 40, 120], [214, 220, 236], [118, 128, 168]];

  // The laid-out picture as screen pixels: a whole number of them a pixel (every step-th one
  // when it is bigger than the box), red lines between cells where there is room.
  function draw(preview, box) {
    const { width, height, tones } = preview;
    const step = Math.max(1, Math.ceil(width / box.width), Math.ceil(height / box.height));
    const across = Math.ceil(width / step);
    const down = Math.ceil(height / step);
    const scale = step > 1 ? 1 : Math.max(1, Math.min(32,
      Math.floor(Math.min(box.width / Math.max(1, width), box.height / Math.max(1, height)))));
    const w = across * scale;
    const h = down * scale;
    const rgba = new Uint8ClampedArray(w * h * 4);
    for (let y = 0; y < h; ++y) {
      const row = Math.floor(y / scale) * step;
      for (let x = 0; x < w; ++x) {
        const tone = tones[row * width + Math.floor(x / scale) * step];
        const v = ((x >> 3) + (y >> 3)) & 1 ? 204 : 240;
        rgba.set(tone === 4 ? [v, v, v, 255] : [...TONES[tone], 255], (y * w + x) * 4);
      }
    }
    const line = (o) => rgba.set([230, 0, 0, 255], o);
    if (preview.cellWidth > 0 && preview.cellHeight > 0 && scale >= 4) {
      for (let cx = preview.cellWidth; cx < width; cx += preview.cellWidth)
        for (let y = 0; y < h; ++y) line((y * w + cx * scale) * 4);
      for (let cy = preview.cellHeight; cy < height; cy += preview.cellHeight)
        for (let x = 0; x < w; ++x) line((cy * scale * w + x) * 4);
    }
    return { width: w, height: h, scale, step: step * preview.step, rgba };
  }

  self.onmessage = async (event) => {
    const request = event.data;
    try {
      await handle(request, await ready);
    } catch (error) {
      // Out of memory in the browser itself: said as the CLI would say a failure.
      self.postMessage({ kind: request.kind === 'reverse' ? 'reverse' : 'text', id: request.id,
        status: 1, stderr: 'rastelle-cli: ' + String(error && error.message || error) + '\n',
        stdout: new Uint8Array(0), shown: { text: '', whole: true }, png: null });
    }
  };

  function handle(request, rastelle) {
    if (request.kind === 'convert') {
      if (request.image.bytes) image = request.image;
      const inputs = { [image.name]: image.bytes };
      const preview = rastelle.preview(request.previewArgs, inputs);
      if (preview.status === 0) {
        const picture = draw(preview, request.box);
        self.postMessage({
          kind: 'preview', id: request.id, picture, frames: preview.frames,
          width: preview.width * preview.step, height: preview.height * preview.step, sampled: preview.step > 1,
        }, [picture.rgba.buffer]);
      }
      const result = rastelle.run(request.args, inputs);
      const stdout = own(result.stdout);
      const shown = result.status === 0 ? shownText(stdout, request.binary) : { text: '', whole: true };
      self.postMessage({
        kind: 'text', id: request.id, status: result.status, stderr: result.stderr, stdout, shown,
      }, [stdout.buffer]);
    } else if (request.kind === 'reverse') {
      const result = rastelle.run(request.args, request.inputs);
      const picture = result.files[request.output];
      const png = result.status === 0 && picture ? own(picture) : null;
      self.postMessage({
        kind: 'reverse', id: request.id, status: result.status, stderr: result.stderr, png,
      }, png ? [png.buffer] : []);
    }
  }
}
