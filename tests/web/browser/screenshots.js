'use strict';
// Retakes docs/web-page.png and docs/web-page-dark.png: the page after converting the ghost in
// centred cells, so that the preview shows their fill.
const path = require('node:path');
const { ROOT, start, convert } = require('./harness');

(async () => {
  const browser = await start();
  for (const [colorScheme, name] of [['light', 'web-page.png'], ['dark', 'web-page-dark.png']]) {
    const page = await browser.open(browser.bases.http, 'label=ghost&comment&cell=4x4&centre',
      { viewport: { width: 1100, height: 900 }, colorScheme });
    await convert(page, path.join(ROOT, 'docs/ghost.bmp'));
    await page.screenshot({ path: path.join(ROOT, 'docs', name) });
  }
  await browser.stop();
})();
