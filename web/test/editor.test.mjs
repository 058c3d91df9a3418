// The editor in Debian's Chromium, headless, against a real `vellum serve`:
//   node editor.test.mjs VELLUM EXAMPLES_FOLDER SCREENSHOT.png
// Builds a graph by hand (add, connect, edit, preview, save, reload, undo), then opens the
// examples to print two timings: a changed number to the redrawn picture (default.json), and
// frames per second while playing morph.json. Timings are printed, never asserted.
import { spawn, execFileSync } from 'node:child_process';
import { mkdtempSync, cpSync, readFileSync, existsSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import assert from 'node:assert/strict';
import { chromium } from 'playwright-core';

const [vellum, examples, screenshot] = process.argv.slice(2).map((a) => resolve(a));
if (process.argv.length < 5) {
  console.error('usage: node editor.test.mjs VELLUM EXAMPLES_FOLDER SCREENSHOT.png');
  process.exit(2);
}

const folder = mkdtempSync(join(tmpdir(), 'vellum-editor-'));
for (const name of ['default.json', 'drawing.svg', 'morph.json']) cpSync(join(examples, name), join(folder, name));
const profile = mkdtempSync(join(tmpdir(), 'vellum-chromium-'));

let passed = 0, failed = 0;
async function check(name, body) {
  try {
    await body();
    passed++;
    console.log(`ok   ${name}`);
  } catch (e) {
    failed++;
    console.log(`FAIL ${name}\n     ${String(e.stack ?? e).split('\n').slice(0, 4).join('\n     ')}`);
    throw e;
  }
}

// The server on a free port, opened on a composition that does not exist yet.
const server = spawn(vellum, ['serve', 'graph.json', '--port', '0'], { cwd: folder, stdio: ['ignore', 'pipe', 'inherit'] });
const address = await new Promise((resolve, reject) => {
  let seen = '';
  const timer = setTimeout(() => reject(new Error(`vellum serve printed no address: ${seen}`)), 15000);
  server.stdout.on('data', (d) => {
    seen += d;
    const m = seen.match(/http:\/\/[^ ]+\//);
    if (m) { clearTimeout(timer); resolve(m[0]); }
  });
  server.on('exit', (code) => reject(new Error(`vellum serve ended (${code}): ${seen}`)));
});

const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  viewport: { width: 1400, height: 900 },
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
const page = context.pages()[0] ?? await context.newPage();
page.on('pageerror', (e) => console.log(`page error: ${e}`));
let answer = null;
page.on('dialog', (d) => (answer !== null ? d.accept(answer) : d.dismiss()));

const node = (id) => page.locator(`.react-flow__node[data-id="${id}"]`);
// What the picture shows, as a number that changes when any pixel does.
const pictureHash = (id) => node(id).locator('canvas[data-preview="image"]').evaluate((c) => {
  const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
  let h = c.width * 31 + c.height;
  for (let i = 0; i < d.length; i++) h = (h * 33 + d[i]) >>> 0;
  return h;
});
async function addFromPalette(displayName) {
  await page.fill('[data-palette-search]', displayName);
  const entry = page.locator('.palette li').filter({ has: page.locator('.pal-name', { hasText: new RegExp(`^${displayName}$`) }) });
  await entry.locator('[data-add]').click();
}
async function dragConnect(fromId, fromKey, toId, toKey) {
  const from = await node(fromId).locator(`.react-flow__handle.source[data-handleid="${fromKey}"]`).boundingBox();
  const to = await node(toId).locator(`.react-flow__handle.target[data-handleid="${toKey}"]`).boundingBox();
  await page.mouse.move(from.x + from.width / 2, from.y + from.height / 2);
  await page.mouse.down();
  await page.mouse.move(to.x + to.width / 2, to.y + to.height / 2, { steps: 12 });
  await page.mouse.up();
}
async function setNumber(id, key, value) {
  const input = node(id).locator(`input[data-input="${key}"]`);
  await input.fill(String(value));
  await input.press('Enter');
}
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

try {
  await page.goto(address);
  await page.waitForSelector('.palette li');

  await check('the palette lists every registered patch, searchable', async () => {
    const all = await page.locator('.palette li').count();
    const catalogue = JSON.parse(execFileSync(vellum, ['patches', '--json'], { encoding: 'utf8' })).patches;
    assert.equal(all, catalogue.length);
    await page.fill('[data-palette-search]', 'rectangle');
    const names = await page.locator('.palette li .pal-name').allTextContents();
    assert.ok(names.includes('Vellum Vector With Rectangle'), names.join(', '));
    assert.ok(names.length < all);
  });

  await check('two patches added from the palette, connected by dragging', async () => {
    await addFromPalette('Vellum Vector With Rectangle');
    await node("vectorWithRectangle").waitFor();
    await addFromPalette('Vellum Image With Vector');
    await node("imageWithVector").waitFor();
    await page.waitForTimeout(300);  // the view fits the new patch in
    await dragConnect('vectorWithRectangle', 'outputBezierPath', 'imageWithVector', 'inputBezierPath');
    await page.locator('.react-flow__edge').first().waitFor();
    assert.equal(await page.locator('.react-flow__edge').count(), 1);
    await node("imageWithVector").locator('canvas[data-preview="image"]').waitFor();
  });

  await check('a refused connection is explained', async () => {
    await dragConnect('vectorWithRectangle', 'outputBezierPath', 'imageWithVector', 'inputStrokeWidth');
    await page.waitForSelector('[data-status]');
    assert.match(await page.locator('[data-status]').textContent(), /kind mismatch: the output is a V2DBezierPathPort, the input a NumberPort/);
    assert.equal(await page.locator('.react-flow__edge').count(), 1);
  });

  await check('changing the width changes the picture', async () => {
    const before = await pictureHash('imageWithVector');
    await setNumber('vectorWithRectangle', 'inputWidth', 40);
    await page.waitForFunction(async () => true);
    await page.waitForFunction((h) => {
      const c = document.querySelector('.react-flow__node[data-id="imageWithVector"] canvas[data-preview="image"]');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let x = c.width * 31 + c.height;
      for (let i = 0; i < d.length; i++) x = (x * 33 + d[i]) >>> 0;
      return x !== h;
    }, before);
    assert.notEqual(await pictureHash('imageWithVector'), before);
    assert.equal(await node("vectorWithRectangle").locator('input[data-input="inputWidth"]').inputValue(), '40');
  });

  await check('the path preview draws the rectangle', async () => {
    const d = await node('vectorWithRectangle').locator('svg[data-preview="path"] path').getAttribute('d');
    assert.equal(d, 'M0 0L40 0L40 10L0 10Z');
  });

  await check('duplicate and delete from the keyboard', async () => {
    await node('vectorWithRectangle').locator('.patch-title').click();
    await page.keyboard.press('Control+d');
    await node('vectorWithRectangle2').waitFor();
    assert.equal(await node('vectorWithRectangle2').locator('input[data-input="inputWidth"]').inputValue(), '40');
    await page.keyboard.press('Delete');
    await node('vectorWithRectangle2').waitFor({ state: 'detached' });
    assert.equal(await page.locator('.react-flow__node').count(), 2);
  });

  await check('a patch that logs shows it on its node', async () => {
    await addFromPalette('Vellum Vector With String');
    const errors = node('vectorWithString').locator('[data-errors]');
    await errors.waitFor();
    assert.match(await errors.textContent(), /Georgia-Bold/);
    await node('vectorWithString').locator('.patch-title').click();
    await page.keyboard.press('Delete');
    await node('vectorWithString').waitFor({ state: 'detached' });
  });

  await check('a number below the limit is clamped', async () => {
    await setNumber('vectorWithRectangle', 'inputHeight', -5);
    await page.waitForFunction(() => document.querySelector('.react-flow__node[data-id="vectorWithRectangle"] input[data-input="inputHeight"]').value === '0');
    await setNumber('vectorWithRectangle', 'inputHeight', 25);
    await page.waitForFunction(() => document.querySelector('.react-flow__node[data-id="vectorWithRectangle"] input[data-input="inputHeight"]').value === '25');
  });

  await check('undo and redo (keyboard)', async () => {
    await page.locator('.react-flow__pane').click({ position: { x: 5, y: 5 } });
    await page.keyboard.press('Control+z');
    await page.waitForFunction(() => document.querySelector('.react-flow__node[data-id="vectorWithRectangle"] input[data-input="inputHeight"]').value === '0');
    await page.keyboard.press('Control+Shift+z');
    await page.waitForFunction(() => document.querySelector('.react-flow__node[data-id="vectorWithRectangle"] input[data-input="inputHeight"]').value === '25');
  });

  await check('saved, the composition runs with vellum run', async () => {
    answer = 'picture.png';
    await node("imageWithVector").locator('.port.output[data-port="outputImage"] button.publish').click();
    await node("imageWithVector").locator('button.publish.on').waitFor();
    answer = null;
    await page.click('text=Save');
    await page.waitForFunction(() => document.querySelector('[data-status]')?.textContent === 'saved graph.json');
    const saved = JSON.parse(readFileSync(join(folder, 'graph.json'), 'utf8'));
    assert.deepEqual(saved.connections, [['vectorWithRectangle.outputBezierPath', 'imageWithVector.inputBezierPath']]);
    assert.deepEqual(saved.outputs, { 'picture.png': 'imageWithVector.outputImage' });
    assert.deepEqual(saved.patches.vectorWithRectangle, { class: 'Vellum Vector With Rectangle', inputs: { inputWidth: 40, inputHeight: 25 } });
    assert.deepEqual(Object.keys(saved.editor.positions).sort(), ['imageWithVector', 'vectorWithRectangle']);
    execFileSync(vellum, ['run', 'graph.json', '--out', 'out'], { cwd: folder, stdio: 'pipe' });
    assert.ok(existsSync(join(folder, 'out', 'picture.png')));
  });

  await check('reloaded, the same graph', async () => {
    await page.reload();
    await node("imageWithVector").locator('canvas[data-preview="image"]').waitFor();
    assert.deepEqual((await page.locator('.react-flow__node').evaluateAll((ns) => ns.map((n) => n.dataset.id))).sort(), ['imageWithVector', 'vectorWithRectangle']);
    assert.equal(await page.locator('.react-flow__edge').count(), 1);
    assert.equal(await node("vectorWithRectangle").locator('input[data-input="inputWidth"]').inputValue(), '40');
  });

  await check('default.json opens laid out, and a changed number redraws its picture', async () => {
    await page.selectOption('header select', 'default.json');
    await node('image').locator('canvas[data-preview="image"]').waitFor();
    await page.locator('.react-flow__controls-fitview').click();
    await page.waitForTimeout(300);
    await page.screenshot({ path: screenshot });
    await node('solid').locator('[data-preview="mesh"] canvas').waitFor();
    const latencies = [];
    for (const width of [470, 460, 450, 440, 430, 420, 410]) {
      const before = await pictureHash('image');
      await setNumber('image', 'inputWidth', width);
      await page.waitForFunction((w) => document.querySelector('.react-flow__node[data-id="image"] canvas[data-preview="image"]').width === w, width);
      assert.notEqual(await pictureHash('image'), before);
      latencies.push(await page.evaluate(() => window.vellumStats.lastLatencyMs));
    }
    console.log(`timing: changed number to redrawn picture (default.json): median ${median(latencies).toFixed(1)} ms, ` +
      `all ${latencies.map((l) => l.toFixed(1)).join(', ')} ms`);
  });

  await check('morph.json plays', async () => {
    answer = '';  // yes, open it without saving default.json's changes
    await page.selectOption('header select', 'morph.json');
    await node('morph').waitFor();
    const first = await page.evaluate(() => window.vellumStats.framesDone);
    const start = Date.now();
    await page.click('[data-play]');
    await page.waitForTimeout(3000);
    await page.click('[data-play]');
    const frames = (await page.evaluate(() => window.vellumStats.framesDone)) - first;
    const seconds = (Date.now() - start) / 1000;
    const shown = Number((await page.locator('[data-time]').textContent()).split(' ')[0]);
    assert.ok(shown > 1, `the time bar shows ${shown}`);
    console.log(`timing: morph.json playback: ${(frames / seconds).toFixed(1)} frames per second (${frames} frames in ${seconds.toFixed(1)} s)`);
  });
} catch {
  // Reported above.
} finally {
  await context.close().catch(() => {});
  server.kill('SIGTERM');
  rmSync(profile, { recursive: true, force: true });
  rmSync(folder, { recursive: true, force: true });
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
