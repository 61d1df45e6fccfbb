// Browser tests of the web page, in Debian's headless Chromium against a server on 127.0.0.1:
// every window the page downloads, BMP or PNG, is byte for byte what panelwright-cli compose
// writes for the same inputs; failures show their message; the preview follows typing; no request leaves the
// page after it has loaded; animations download as the command line writes them, and Play plays
// them in the preview. Run by ./dev test after the web build.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import { copyFileSync, cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync, mkdirSync, appendFileSync } from 'node:fs';
import { request as httpRequest } from 'node:http';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { basename, dirname, join } from 'node:path';
import { pathToFileURL } from 'node:url';
import { deflateSync, gzipSync } from 'node:zlib';
import { launch, pageDir, root, serve } from './harness.mjs';

const { unzipSync } = createRequire(join(root, 'web', 'package.json'))('fflate');

const cli = process.env.PW_CLI || join(root, 'build', 'bin', 'panelwright-cli');
const work = mkdtempSync(join(tmpdir(), 'pw-web-test-'));
let server;
let browser;
let page;
const requests = [];
const failedResponses = [];

// A PNG file of the given colour type from raw scanlines (filter byte 0 on every row), written
// with node's zlib: test pictures only.
function png(width, height, colourType, bitDepth, rows, extraChunks = []) {
  const crcTable = Array.from({ length: 256 }, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  const crc = (bytes) => {
    let c = 0xFFFFFFFF;
    for (const b of bytes) c = crcTable[(c ^ b) & 0xFF] ^ (c >>> 8);
    return (c ^ 0xFFFFFFFF) >>> 0;
  };
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length, 0);
    body.copy(out, 4);
    out.writeUInt32BE(crc(body), 8 + data.length);
    return out;
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = bitDepth;
  header[9] = colourType;
  const raw = Buffer.concat(rows.map((row) => Buffer.concat([Buffer.from([0]), Buffer.from(row)])));
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header),
    ...extraChunks.map(([type, data]) => chunk(type, Buffer.from(data))), chunk('IDAT', deflateSync(raw)),
    chunk('IEND', Buffer.alloc(0))]);
}

// Test skins: 16-colour palette with a transparent entry, and RGBA with varying alpha.
function paletteSkin() {
  const palette = [];
  for (let i = 0; i < 16; ++i) palette.push(40 + i * 13, 200 - i * 9, (i * 57) & 255);
  const rows = [];
  for (let y = 0; y < 80; ++y) {
    const row = [];
    for (let x = 0; x < 160; x += 2) {
      const index = (px) => (y >= 48 ? ((px >> 4) + (y >> 4) * 5 + (y & 3)) : ((px >> 3) ^ (y >> 2))) & 15;
      row.push(index(x) << 4 | index(x + 1));
    }
    rows.push(row);
  }
  return png(160, 80, 3, 4, rows, [['PLTE', palette], ['tRNS', [255, 0, 128]]]);
}
function rgbaSkin() {
  const rows = [];
  for (let y = 0; y < 80; ++y) {
    const row = [];
    for (let x = 0; x < 160; ++x) row.push((x * 3) & 255, (y * 5 + x) & 255, (x ^ y) & 255, (x + y * 2) & 255);
    rows.push(row);
  }
  return png(160, 80, 6, 8, rows);
}
// A 120x12 grey sheet for $0..$9: a different diagonal band in each cell, light grey counts as ink.
function userGlyphs() {
  const rows = [];
  for (let y = 0; y < 12; ++y) {
    const row = [];
    for (let x = 0; x < 120; ++x) row.push(((x % 12) + y) % (2 + Math.floor(x / 12)) === 0 ? 200 : 255);
    rows.push(row);
  }
  return png(120, 12, 0, 8, rows);
}

const file = (name, bytes) => {
  const path = join(work, name);
  writeFileSync(path, bytes);
  return path;
};
const sample = (name) => join(root, 'resources', 'samples', name);
const faceSheet = sample('faces.png');

function runCli(args, cwd = work) {
  const result = spawnSync(cli, args, { cwd, encoding: 'utf8' });
  return { status: result.status, stderr: result.stderr };
}

let skins;
let glyphSheet;

before(async () => {
  skins = {
    blue: sample('blue.bmp'),
    forest: sample('forest.png'),
    night: sample('night.bmp'),
    palette8: join(work, 'forest8.bmp'),
    palette4: join(work, 'night4.bmp'),
    palettePng: file('palette.png', paletteSkin()),
    rgbaPng: file('rgba.png', rgbaSkin()),
  };
  execFileSync(cli, ['convert', sample('forest.png'), skins.palette8, '--depth', '8']);
  execFileSync(cli, ['convert', sample('night.png'), skins.palette4, '--depth', '4']);
  glyphSheet = file('myglyphs.png', userGlyphs());
  server = await serve(pageDir);
  browser = await launch();
  page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  page.on('response', (response) => { if (response.status() >= 400) failedResponses.push(response.url()); });
  await page.goto(server.url);
  await page.waitForSelector('body[data-ready=true]');
  page.on('request', (request) => {
    if (!/^(blob|data):/.test(request.url())) requests.push(request.url());
  });
});

after(async () => {
  await browser?.close();
  await server?.close();
  rmSync(work, { recursive: true, force: true });
});

const download = async (button) => {
  const [file] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
  return readFileSync(await file.path());
};

// Sets the page's form; the skin and the user glyph sheet only when they change.
let shownSkin = null;
let shownGlyphs = null;
let shownFaces = false;
async function setForm(c) {
  if (shownSkin !== c.skin) {
    await page.setInputFiles('#skin-file', skins[c.skin]);
    await page.waitForFunction(() => document.getElementById('message').textContent === '');
    shownSkin = c.skin;
  }
  const glyphs = c.glyphs ? glyphSheet : null;
  if (shownGlyphs !== glyphs) {
    if (glyphs) await page.setInputFiles('#glyphs', glyphs);
    else await page.click('#glyphs-clear');
    shownGlyphs = glyphs;
  }
  if (shownFaces !== Boolean(c.face)) {
    if (c.face) await page.setInputFiles('#face-file', faceSheet);
    else await page.click('#face-clear');
    shownFaces = Boolean(c.face);
  }
  await page.fill('#face-index', String(c.face?.index ?? 0));
  await page.setChecked('#face-right', Boolean(c.face?.right));
  await page.setChecked('#face-flip', Boolean(c.face?.flip));
  await page.setChecked('#pause-arrow', Boolean(c.arrow));
  await page.setChecked('#game-codes', Boolean(c.game));
  await page.fill('#names', Object.entries(c.names ?? {}).map(([n, text]) => `${n}=${text}`).join('\n'));
  await page.fill('#values', Object.entries(c.values ?? {}).map(([n, text]) => `${n}=${text}`).join('\n'));
  await page.selectOption('#font', c.font ?? 'RMG2000');
  await page.selectOption('#letters', c.letters ?? 'japanese');
  await page.selectOption('#wall', String(c.wall ?? 0));
  await page.fill('#margin', String(c.margin ?? 0));
  await page.fill('#gap', String(c.gap ?? 0));
  await page.selectOption('#depth', String(c.depth ?? 24));
  if (c.pick) {
    const [x, y] = c.pick;
    await page.click('#skin', { position: { x: x * 2 + 1, y: y * 2 + 1 } });
  } else {
    await page.fill('#trans', '#' + (c.trans ?? '000000').toLowerCase());
  }
  await page.fill('#text', c.text);
}

function cliArgs(c, output) {
  const args = ['compose', '--system', skins[c.skin], '--text', c.text, '--font', c.font ?? 'RMG2000',
    '--wallpaper', c.wall ? 'tile' : 'stretch', '--margin', String(c.margin ?? 0),
    '--line-gap', String(c.gap ?? 0), '-o', output];
  if (c.depth) args.push('--depth', String(c.depth));
  if (c.letters) args.push('--letters', c.letters);
  if (c.pick) args.push('--trans-at', c.pick.join(','));
  else args.push('--trans', c.trans ?? '000000');
  if (c.glyphs) args.push('--user-glyphs', glyphSheet);
  if (c.face) {
    args.push('--face', `${faceSheet}:${c.face.index}`);
    if (c.face.right) args.push('--face-right');
    if (c.face.flip) args.push('--face-flip');
  }
  if (c.arrow) args.push('--pause-arrow');
  if (c.game) args.push('--game-codes');
  for (const [n, text] of Object.entries(c.names ?? {})) args.push('--name', `${n}=${text}`);
  for (const [n, text] of Object.entries(c.values ?? {})) args.push('--var', `${n}=${text}`);
  return args;
}

const cases = [
  { name: 'plain text, defaults', skin: 'blue', text: 'Hello, world!' },
  { name: 'colour codes over lines', skin: 'blue', text: '\\C[2]Red\\c[12] and\nnext line \\C[19]last', trans: 'FF00FF' },
  { name: 'glyphs and escapes', skin: 'forest', text: '$A$b$Z$z $$A \\\\C[1] \\$B', margin: 5, gap: 3 },
  { name: 'tile wallpaper, Mincho', skin: 'night', text: '漢字とかな、ｶﾀｶﾅ\nMincho 明朝', font: 'RM2000', wall: 1 },
  { name: 'CP932 characters converters disagree on', skin: 'blue',
    text: '〜～−－‖∥¥‾¬￢\n①Ⅰ№≒∵ⅰ纊￤', margin: 2 },
  { name: 'user glyphs', skin: 'forest', text: 'Keys $0$1$2 $9', glyphs: true, trans: 'FFFFFF' },
  { name: 'transparent colour picked on the skin', skin: 'night', text: 'Picked\n\\C[3]colour', pick: [40, 4] },
  { name: '8-bit palette BMP skin', skin: 'palette8', text: 'Palette skin\n\\C[5]eight bits', gap: 6 },
  { name: '4-bit palette BMP skin, tile', skin: 'palette4', text: 'Sixteen colours', wall: 1, margin: 12 },
  { name: 'palette PNG with transparency', skin: 'palettePng', text: 'Indexed PNG $c\n\\C[7]tRNS', trans: '28C800' },
  { name: 'RGBA PNG', skin: 'rgbaPng', text: 'Alpha PNG\n\\C[14]second\nthird', font: 'RM2000' },
  { name: 'depth 1', skin: 'blue', text: 'One bit', depth: 1 },
  { name: 'depth 4', skin: 'forest', text: '\\C[1]Four bits\n\\C[8]16 colours', depth: 4, margin: 3 },
  { name: 'depth 8', skin: 'night', text: 'Eight bits 漢字', depth: 8, wall: 1 },
  { name: 'depth 8 from a palette PNG', skin: 'palettePng', text: 'Reduced', depth: 8 },
  { name: 'empty text, narrow window', skin: 'blue', text: '', margin: 0 },
  { name: 'wide margins and gaps', skin: 'forest', text: 'a\n\nc', margin: 40, gap: 30 },
  { name: 'face on the left, pause arrow', skin: 'blue', text: 'With a face\n\\C[3]and an arrow', face: { index: 2 },
    arrow: true, margin: 3 },
  { name: 'face on the right, mirrored, depth 8', skin: 'night', text: 'Right side', face: { index: 5, right: true, flip: true },
    depth: 8, trans: 'FFFFFF' },
  { name: 'game codes with names and values', skin: 'forest', game: true,
    text: '\\N[1] found \\V[7] coins!\\.\\|\nWait\\_ here \\S[3]now\\!', names: { 1: 'アレックス' }, values: { 7: '120' } },
  { name: 'Cyrillic, international letters', skin: 'night', text: '\\C[2]Съешь же ещё\nэтих мягких «булок» — $A',
    letters: 'international' },
  { name: 'accented Latin, international letters', skin: 'forest', text: '¿Qué tal, señor? Łódź, Ağrı\n“Ærø” … ß',
    letters: 'international', margin: 2 },
  { name: 'Korean and Chinese, Japanese letters', skin: 'blue', text: '안녕하세요 \\C[3]한글\n你们好 漢字 é', depth: 8 },
];

test('every downloaded window, BMP and PNG, equals the command line\'s file', async (t) => {
  for (const c of cases) {
    await t.test(c.name, async () => {
      await setForm(c);
      assert.equal(await page.textContent('#message'), '');
      assert.match(await page.textContent('#caption'), c.depth === 1 ? /, 1 bit per pixel$/ : /, \d+ bits per pixel$/);
      for (const [format, button] of [['bmp', '#save-bmp'], ['png', '#save-png']]) {
        const output = join(work, `cli.${format}`);
        const run = runCli(cliArgs(c, output));
        assert.equal(run.status, 0, run.stderr);
        const fromPage = await download(button);
        assert.ok(fromPage.equals(readFileSync(output)), `${c.name}: the page's ${format} differs from the command line's`);
      }
    });
  }
});

// Animations: the form's animation fields, and the command line's options for them.
async function setAnimation(a) {
  await page.fill('#speed', String(a.speed ?? 1));
  await page.fill('#hold', String(a.hold ?? 2));
  await page.fill('#loop', String(a.loop ?? 0));
  await page.setChecked('#open', a.open ?? true);
}
function animationArgs(a) {
  const args = ['--animate', '--speed', String(a.speed ?? 1), '--hold', String(a.hold ?? 2), '--loop', String(a.loop ?? 0)];
  if (a.open === false) args.push('--no-open');
  return args;
}

// SHA-256 of each frame's RGBA pixels (transparent pixels as 0, 0, 0, 0) and its duration in
// milliseconds, as Chromium's image decoder composes the frames of an animated file.
async function chromiumFrames(bytes, type) {
  return page.evaluate(async ([b64, type]) => {
    const data = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
    const decoder = new ImageDecoder({ data, type });
    await decoder.tracks.ready;
    const frames = [];
    for (let i = 0; i < decoder.tracks.selectedTrack.frameCount; ++i) {
      const { image } = await decoder.decode({ frameIndex: i });
      const canvas = new OffscreenCanvas(image.displayWidth, image.displayHeight);
      const context = canvas.getContext('2d');
      context.drawImage(image, 0, 0);
      const rgba = context.getImageData(0, 0, canvas.width, canvas.height).data;
      for (let p = 0; p < rgba.length; p += 4) if (rgba[p + 3] === 0) rgba.fill(0, p, p + 4);
      const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', rgba));
      frames.push(`${[...digest].map((b) => b.toString(16).padStart(2, '0')).join('')} ${Math.round(image.duration / 1000)}`);
      image.close();
    }
    return frames;
  }, [bytes.toString('base64'), type]);
}

// The same for Pillow's reading of the file; the animated PNG's default image is no frame.
function pillowFrames(path) {
  const script = `
import hashlib, sys
from PIL import Image, ImageSequence
im = Image.open(sys.argv[1])
skip = 1 if im.format == 'PNG' and im.info.get('default_image') else 0
for i, f in enumerate(ImageSequence.Iterator(im)):
    if i < skip:
        continue
    rgba = bytearray(f.convert('RGBA').tobytes())
    for p in range(0, len(rgba), 4):
        if rgba[p + 3] == 0:
            rgba[p:p + 4] = bytes(4)
    print(hashlib.sha256(rgba).hexdigest(), round(f.info.get('duration', 0)))
`;
  const run = spawnSync('/usr/bin/python3', ['-c', script, path], { encoding: 'utf8' });
  return run.status === 0 ? run.stdout.trim().split('\n') : null;
}

const animationCases = [
  { name: 'typed text with waits, two plays', skin: 'blue', game: true, text: 'Hello,\\.\nworld!\\|',
    anim: { speed: 2, hold: 0.5, loop: 2 } },
  { name: 'face, names, instant text, no opening', skin: 'forest', game: true, face: { index: 1 },
    text: '\\N[1]: \\>Quick!\\< and\\_slow\\S[4]er\\!', names: { 1: 'Ren' }, anim: { open: false, hold: 1 } },
  // Dialogue mode: every block a page with its own face, the window the largest of them.
  { name: 'a dialogue of two blocks with two faces', dialogue: '@face faces.png:2\nFirst page\n---\n' +
    '@face faces.bmp:5 right flip\nThe second page,\n\\C[3]a longer one', anim: { speed: 2, hold: 0.5, loop: 1 } },
];

test('every downloaded animation, GIF and APNG, equals the command line\'s, and Chromium decodes the frames Pillow does', async (t) => {
  for (const c of animationCases) {
    await t.test(c.name, async () => {
      if (c.dialogue) await composeDialogue(c.dialogue, 'png');
      else await setForm(c);
      await setAnimation(c.anim);
      let gifSize;
      for (const [format, button, type] of [['gif', '#save-gif', 'image/gif'], ['png', '#save-apng', 'image/png']]) {
        let output = join(work, `anim.${format}`);
        let run;
        if (c.dialogue) {
          run = cliDialogue(c.dialogue, format, animationArgs(c.anim));
          output = join(run.folder, `window.${format}`);
        } else {
          run = runCli([...cliArgs(c, output), ...animationArgs(c.anim)]);
        }
        assert.equal(run.status, 0, run.stderr);
        if (format === 'gif') gifSize = [readFileSync(output).readUInt16LE(6), readFileSync(output).readUInt16LE(8)];
        const fromPage = await download(button);
        assert.equal(await page.textContent('#message'), '');
        assert.ok(fromPage.equals(readFileSync(output)), `${c.name}: the page's ${format} differs from the command line's`);
        const pillow = pillowFrames(output);
        if (!pillow) continue;
        // Pixels alike; durations within a millisecond (Chromium keeps whole milliseconds).
        const chromium = await chromiumFrames(fromPage, type);
        const split = (frames) => frames.map((f) => f.split(' '));
        assert.deepEqual(split(chromium).map(([hash]) => hash), split(pillow).map(([hash]) => hash), `${c.name}: ${format} frames`);
        split(chromium).forEach(([, ms], i) => assert.ok(Math.abs(ms - split(pillow)[i][1]) <= 1, `${c.name}: ${format} frame ${i} time`));
      }
      if (!c.dialogue) return;
      // Play plays the same dialogue: its frames have the command line's window size.
      await page.click('#play');
      await page.waitForFunction(() => Number(document.body.dataset.playing) >= 1);
      assert.deepEqual(await page.$eval('#window', (w) => [w.width, w.height]), gifSize);
      await page.click('#play');
      await page.check('#mode-window');
    });
  }
});

test('an animation wider than a GIF can be is refused as GIF with the command line\'s message, and written as APNG', async () => {
  const c = { skin: 'blue', game: true, text: '\\>' + 'a'.repeat(10920) };  // 65536 pixels wide
  const anim = { hold: 0, open: false };
  await setForm(c);
  await setAnimation(anim);
  const run = runCli([...cliArgs(c, join(work, 'wide.gif')), ...animationArgs(anim)]);
  assert.equal(run.status, 1);
  await page.click('#save-gif');
  assert.equal(await page.textContent('#message') + '\n', run.stderr.replace(/^panelwright-cli: /, ''));
  const apng = await download('#save-apng');
  assert.equal(apng.readUInt32BE(16), 65536);
});

test('Play shows the animation in the preview and an edit stops it', async () => {
  await setForm({ skin: 'blue', text: 'Played text', game: true });
  await setAnimation({ hold: 1 });
  const still = await page.evaluate(() => document.getElementById('window').toDataURL());
  await page.click('#play');
  await page.waitForFunction(() => Number(document.body.dataset.playing) >= 3);
  assert.equal(await page.textContent('#play'), 'Stop');
  await page.fill('#text', 'Played text');  // an edit
  assert.equal(await page.textContent('#play'), 'Play');
  assert.equal(await page.evaluate(() => document.body.dataset.playing), undefined);
  assert.equal(await page.evaluate(() => document.getElementById('window').toDataURL()), still);
});

test('a text file in a code page fills the text box, and a character without a glyph is named', async () => {
  await setForm({ skin: 'blue', text: '' });
  const file = join(work, 'russian.txt');
  writeFileSync(file, Buffer.from([0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2, 0x21]));  // "Привет!" in cp1251
  await page.selectOption('#text-encoding', 'cp1251');
  await page.setInputFiles('#text-file', file);
  await page.waitForFunction(() => document.getElementById('text').value === 'Привет!');
  assert.equal(await page.inputValue('#letters'), 'international');
  writeFileSync(file, Buffer.from([0x41, 0x98]));  // 0x98 is no cp1251 character
  await page.setInputFiles('#text-file', file);
  await page.waitForFunction(() => document.getElementById('message').textContent !== '');
  assert.equal(await page.textContent('#message'), 'russian.txt: The text is not valid cp1251 at byte 1');
  assert.equal(await page.inputValue('#text'), 'Привет!');
  await page.fill('#text', 'a\u0E01b\u0E01');
  await page.waitForFunction(() => document.getElementById('notes').textContent !== '');
  assert.equal(await page.textContent('#notes'), 'U+0E01 (\u0E01) has no glyph and is drawn as a box\n');
  await page.fill('#text', 'ok');
  await page.waitForFunction(() => document.getElementById('notes').textContent === '');
  await page.selectOption('#text-encoding', 'utf-8');
  await page.selectOption('#letters', 'japanese');
});

// The encodings are named as the window names them; a Windows editor's byte-order mark is no
// text; a text whose window no reader could take is refused and the text box keeps its text.
test('a text file is read without its byte-order mark, and one too large for any reader is refused', async () => {
  assert.equal(await page.$eval('#text-encoding option[value=cp1251]', (o) => o.textContent), 'cp1251 (Cyrillic)');
  assert.deepEqual(await page.$$eval('#text-encoding option', (options) => options.map((o) => o.value)),
    ['utf-8', 'cp932', 'cp1250', 'cp1251', 'cp1252', 'cp1253', 'cp1254', 'cp1257', 'cp936', 'cp949', 'cp950']);
  await setForm({ skin: 'blue', text: 'Typed', margin: 160, gap: 320 });
  await page.selectOption('#text-encoding', 'utf-8');
  const bom = join(work, 'bom.txt');
  writeFileSync(bom, Buffer.from([0xEF, 0xBB, 0xBF, 0x48, 0x69]));
  await page.setInputFiles('#text-file', bom);
  await page.waitForFunction(() => document.getElementById('text').value === 'Hi');
  assert.equal(await page.textContent('#notes'), '');
  // 131 lines at the widest margin and line gap: 6336x44032 pixels.
  const tall = join(work, 'tall.txt');
  writeFileSync(tall, 'x'.repeat(1000) + '\n'.repeat(130) + 'x');
  await page.setInputFiles('#text-file', tall);
  await page.waitForFunction(() => document.getElementById('message').textContent !== '');
  assert.equal(await page.textContent('#message'), 'tall.txt: The window would be at least 6336x44032 pixels, more than the ' +
    '268435456 pixels of the largest picture Panelwright reads');
  assert.equal(await page.inputValue('#text'), 'Hi');
  const run = runCli(['compose', '--text-file', tall, '--margin', '160', '--line-gap', '320', '-o', 'tall.png']);
  assert.equal(run.status, 1);
  assert.ok(run.stderr.endsWith((await page.textContent('#message')).replace('tall.txt: ', '') + '\n'), run.stderr);
  await setForm({ skin: 'blue', text: 'Typed' });
});

test('a skin that cannot be used shows the command line\'s message and keeps the preview', async () => {
  const before = await page.evaluate(() => document.getElementById('window').toDataURL());
  const grey = [];
  for (let y = 0; y < 16; ++y) grey.push(new Array(16).fill(128));
  const bad = [
    file('small.png', png(16, 16, 0, 8, grey)),
    file('broken.png', Buffer.from('\x89PNG\r\n\x1a\nnot really a picture', 'latin1')),
    file('cut.bmp', readFileSync(skins.blue).subarray(0, 30)),
    file('cut.png', readFileSync(skins.rgbaPng).subarray(0, 33)),  // signature and header chunk only
    // A BMP header alone that claims 40000x40000 pixels: refused before anything is decoded.
    file('huge.bmp', Buffer.from([0x42, 0x4D, 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0x40, 0x9C, 0, 0,
      0x40, 0x9C, 0, 0, 1, 0, 32, 0, ...new Array(24).fill(0)])),
  ];
  const says = { 'cut.png': 'holds no image', 'huge.bmp': 'is 40000x40000 pixels' };
  for (const path of bad) {
    const run = runCli(['compose', '--system', path, '--text', 'x', '-o', join(work, 'bad.bmp')]);
    assert.equal(run.status, 1);
    await page.setInputFiles('#skin-file', path);
    const name = path.split('/').pop();
    await page.waitForFunction(() => document.getElementById('message').textContent !== '');
    const message = await page.textContent('#message');
    // The command line names the file by its path; the page by its name.
    assert.ok(run.stderr.includes(message.replace(name, path)) || run.stderr.includes(message),
      `page: "${message}", command line: "${run.stderr.trim()}"`);
    if (says[name]) assert.ok(message.includes(says[name]), message);
    assert.equal(await page.evaluate(() => document.getElementById('window').toDataURL()), before);
    // The file field no longer names the refused file; the skin in use is named.
    assert.equal(await page.inputValue('#skin-file'), '');
    assert.equal(await page.textContent('#skin-name'), `In use: ${basename(skins[shownSkin])}`);
  }
  shownSkin = null;
});

test('a face sheet that cannot be used shows the command line\'s message', async () => {
  await page.setInputFiles('#skin-file', skins.blue);
  shownSkin = 'blue';
  const grey = [new Array(4097).fill(128)];
  const bad = [
    file('wide.png', png(4097, 1, 0, 8, grey)),
    file('cut-faces.png', readFileSync(skins.rgbaPng).subarray(0, 33)),
  ];
  for (const path of bad) {
    const run = runCli(['compose', '--text', 'x', '--face', path, '-o', join(work, 'bad.bmp')]);
    assert.equal(run.status, 1);
    await page.setInputFiles('#face-file', path);
    const name = path.split('/').pop();
    await page.waitForFunction(() => document.getElementById('message').textContent !== '');
    const message = await page.textContent('#message');
    assert.ok(message.includes(name), message);
    assert.ok(run.stderr.includes(message.replace(name, path)), `page: "${message}", command line: "${run.stderr.trim()}"`);
  }
  await page.click('#face-clear');
  shownFaces = false;
});

test('the preview follows typing', async () => {
  await page.setInputFiles('#skin-file', skins.blue);
  shownSkin = 'blue';
  await page.fill('#margin', '0');
  await page.fill('#gap', '0');
  await page.fill('#text', 'ab');
  const width = () => page.evaluate(() => document.getElementById('window').width);
  const narrow = await width();
  await page.focus('#text');
  await page.keyboard.type('cd漢');
  assert.equal(await width(), narrow + 6 + 6 + 12);
  assert.match(await page.textContent('#caption'), new RegExp(`^${narrow + 24} × 32 pixels`));
});

test('no request leaves the page after it has loaded, and a screenshot is kept', async () => {
  await setForm({ skin: 'forest', face: { index: 1 }, arrow: true, margin: 4,
    text: '\\C[0]Welcome to \\C[2]Panelwright\\C[0]! $A$b\n\\C[4]Skins, faces, text and glyphs\nin one window.' });
  await page.$eval('#zoom', (zoom) => { zoom.value = '2'; zoom.dispatchEvent(new Event('input')); });
  const shot = process.env.PW_SCREENSHOT || join(root, 'build-web', 'page-screenshot.png');
  mkdirSync(dirname(shot), { recursive: true });
  await page.screenshot({ path: shot, fullPage: true });
  assert.deepEqual(requests, []);
  assert.deepEqual(failedResponses, []);
  // The page names its icon, so that no browser asks for a missing /favicon.ico.
  const icon = await page.getAttribute('link[rel=icon]', 'href');
  assert.equal((await page.request.get(server.url + icon)).status(), 200);
});

// Dialogues: the text as panelwright-cli compose --batch reads it, in the page's Dialogue mode.
// faces.png is the sheet built into the page; faces.bmp is opened as the user's own.
async function composeDialogue(text, format) {
  await setForm({ skin: 'blue', text: '', margin: 2 });
  if (!(await page.$$eval('#face-sheet option', (options) => options.some((o) => o.value === 'faces.bmp')))) {
    await page.setInputFiles('#face-file', sample('faces.bmp'));
    await page.waitForFunction(() => document.getElementById('face-sheet').value === 'faces.bmp');
  }
  await page.selectOption('#face-sheet', '');
  shownFaces = false;
  await page.check('#mode-dialogue');
  await page.selectOption('#dialogue-format', format);
  await fillDialogue(text);
}

// Typing in a dialogue composes once the typing pauses.
async function fillDialogue(text) {
  await page.fill('#text', text);
  await page.waitForSelector('#dialogue[data-state=done]');
}

// The command line's batch run on the same text, in a folder holding both face sheets.
function cliDialogue(text, format, extraArgs = []) {
  const folder = mkdtempSync(join(work, 'dialogue-'));
  copyFileSync(sample('faces.png'), join(folder, 'faces.png'));
  copyFileSync(sample('faces.bmp'), join(folder, 'faces.bmp'));
  writeFileSync(join(folder, 'dialogue.txt'), text);
  const run = runCli(['compose', '--system', skins.blue, '--margin', '2', '--batch', 'dialogue.txt',
    '-o', `window.${format}`, ...extraArgs], folder);
  return { ...run, folder };
}

test('a dialogue\'s ZIP holds the command line\'s batch files, byte for byte', async (t) => {
  const text = '@face faces.png:2\nFirst window\n\\C[2]two lines\n---\n@face faces.bmp:5 right flip\nSecond\n---\n' +
    '@face none\nThird, no face';
  for (const format of ['png', 'bmp']) {
    await t.test(format, async () => {
      await composeDialogue(text, format);
      const run = cliDialogue(text, format);
      assert.equal(run.status, 0, run.stderr);
      assert.equal(await page.locator('#dialogue-list li canvas').count(), 3);
      const files = unzipSync(await download('#save-all'));
      const names = [1, 2, 3].map((n) => `window-00${n}.${format}`);
      assert.deepEqual(Object.keys(files).sort(), names);
      for (const name of names) {
        assert.ok(Buffer.from(files[name]).equals(readFileSync(join(run.folder, name))), `${name} differs`);
      }
    });
  }
  await page.check('#mode-window');
});

// The characters without a glyph of every window of a dialogue are named, one a line, as the
// command line names them.
test('a dialogue names the characters without a glyph of all its windows', async () => {
  const text = 'First \u0E01\n---\nSecond \u{1F600}\n---\nThird';
  await composeDialogue(text, 'png');
  const run = cliDialogue(text, 'png');
  assert.equal(run.status, 0);
  assert.equal(await page.$eval('#notes', (notes) => notes.innerText.trim()), run.stderr.replaceAll('panelwright-cli: ', '').trim());
  assert.equal(run.stderr.split('\n').filter(Boolean).length, 2);
  await page.check('#mode-window');
});

test('a dialogue block that fails shows the command line\'s message and the others are kept', async (t) => {
  const bad = [
    { name: 'unknown face sheet', block: '@face nobody.png:1\nWho?' },
    { name: 'face outside its sheet', block: '@face faces.bmp:40\nToo far' },
    { name: 'a name the game codes lack', block: 'Hello, \\N[3]!', game: true },
  ];
  for (const b of bad) {
    await t.test(b.name, async () => {
      const text = `@face faces.png\nBefore\n---\n${b.block}\n---\n@face none\nAfter`;
      await composeDialogue(text, 'png');
      await page.setChecked('#game-codes', Boolean(b.game));
      await page.waitForSelector('#dialogue[data-state=done]');
      const game = b.game ? ['--game-codes'] : [];
      const folder = cliDialogue(text, 'png').folder;
      const run = runCli(['compose', '--system', skins.blue, '--margin', '2', '--batch', 'dialogue.txt',
        '-o', 'window.png', ...game], folder);
      assert.equal(run.status, 1);
      const items = page.locator('#dialogue-list li');
      assert.equal(await items.count(), 3);
      assert.equal(await items.nth(1).locator('.failure').textContent() + '\n', run.stderr.replace(/^panelwright-cli: /, ''));
      assert.equal(await items.nth(0).locator('canvas').count(), 1);
      assert.equal(await items.nth(2).locator('canvas').count(), 1);
      assert.deepEqual(Object.keys(unzipSync(await download('#save-all'))), ['window-001.png', 'window-003.png']);
      // The dialogue's animation fails as a whole, with the command line's message.
      const animated = runCli(['compose', '--system', skins.blue, '--margin', '2', '--batch', 'dialogue.txt',
        '-o', 'window.gif', '--animate', ...game], folder);
      assert.equal(animated.status, 1);
      await page.click('#save-gif');
      assert.equal(await page.textContent('#message') + '\n', animated.stderr.replace(/^panelwright-cli: /, ''));
    });
  }
  await page.setChecked('#game-codes', false);
  await page.check('#mode-window');
});

test('number fields refuse what is not a whole number in range, and the downloads wait for a window', async (t) => {
  const rows = [
    { name: 'margin with a fraction', field: '#margin', value: '2.5', option: '--margin', label: 'Margin' },
    { name: 'line gap beyond its range', field: '#gap', value: '321', option: '--line-gap', label: 'Line gap' },
    { name: 'face number beyond 32 bits', field: '#face-index', value: '4294967297', label: 'Face number',
      message: "Face number needs a whole number from 0 to 999999999, not '4294967297'" },
  ];
  for (const r of rows) {
    await t.test(r.name, async () => {
      await setForm({ skin: 'blue', text: 'Numbers' });
      assert.equal(await page.isDisabled('#save-png'), false);
      await page.fill(r.field, r.value);
      const message = await page.textContent('#message');
      if (r.option) {
        const run = runCli(['compose', '--system', skins.blue, '--text', 'x', r.option, r.value, '-o', 'n.png']);
        assert.ok(run.stderr.includes(message.replace(r.label, r.option)), `page: "${message}", command line: "${run.stderr}"`);
      } else {
        assert.equal(message, r.message);
      }
      assert.equal(await page.isDisabled('#save-png'), true);
      assert.equal(await page.isDisabled('#save-bmp'), true);
      await page.fill(r.field, '0');
      assert.equal(await page.isDisabled('#save-png'), false);
    });
  }
});

// Speed, hold and plays are read by the command line's rules and refused with its words.
test('the animation fields take what the command line takes', async (t) => {
  const rows = [
    { field: '#speed', value: '2.5', option: '--speed', label: 'Speed' },
    { field: '#hold', value: '1e1', option: '--hold', label: 'Hold' },
    { field: '#loop', value: '4294967297', option: '--loop', label: 'Plays' },
  ];
  await setForm({ skin: 'blue', text: 'Animated' });
  for (const r of rows) {
    await t.test(`${r.field} ${r.value}`, async () => {
      await setAnimation({});
      await page.fill(r.field, r.value);
      await page.click('#save-gif');
      const message = await page.textContent('#message');
      const run = runCli(['compose', '--animate', '--text', 'x', r.option, r.value, '-o', 'n.gif']);
      assert.equal(run.status, 2);
      assert.equal(run.stderr, `panelwright-cli: ${message.replace(r.label, r.option)}\n`);
    });
  }
  await setAnimation({});
  const [apng] = await Promise.all([page.waitForEvent('download'), page.click('#save-apng')]);
  assert.equal(apng.suggestedFilename(), 'window-animated.png');  // not the still window's name
});

test('the names and values boxes are read only with game codes on', async () => {
  await setForm({ skin: 'blue', text: 'Plain', names: { x: 'stray' } });
  assert.equal(await page.textContent('#message'), '');
  await page.setChecked('#game-codes', true);
  assert.match(await page.textContent('#message'), /^Names: each line is N=TEXT/);
  await page.setChecked('#game-codes', false);
  await page.fill('#names', '');
});

test('a window too large for a canvas is said to be so, and downloads whole', async (t) => {
  const rows = [
    { name: '6,000 full-width characters on a line', text: '漢'.repeat(6000) },
    { name: '20,000 lines', text: 'a\n'.repeat(20000) },
  ];
  for (const r of rows) {
    await t.test(r.name, async () => {
      // Typed as one input: the driver's fill takes minutes over many lines.
      await setForm({ skin: 'blue', text: '' });
      await page.$eval('#text', (box, text) => { box.value = text; box.dispatchEvent(new Event('input')); }, r.text);
      assert.equal(await page.textContent('#message'), '');
      assert.match(await page.textContent('#notice'), /^The window is too large to preview \(\d+ × \d+ pixels\); downloading still saves it\.$/);
      const output = join(work, 'large.png');
      const run = runCli(['compose', '--system', skins.blue, '--text', r.text, '-o', output]);
      assert.equal(run.status, 0, run.stderr);
      assert.ok((await download('#save-png')).equals(readFileSync(output)));
      await page.fill('#text', 'small');
      assert.equal(await page.textContent('#notice'), '');
    });
  }
});

test('at 375 pixels nothing scrolls sideways and the preview follows the text box; wide, it is beside the form', async (t) => {
  for (const width of [375, 1200]) {
    await t.test(`${width} pixels wide`, async () => {
      const narrow = await browser.newPage({ viewport: { width, height: 800 } });
      await narrow.goto(server.url);
      await narrow.waitForSelector('body[data-ready=true]');
      const box = (selector) => narrow.$eval(selector, (e) => e.getBoundingClientRect().toJSON());
      assert.ok(await narrow.evaluate(() => document.documentElement.scrollWidth) <= width);
      const [text, preview, options] = [await box('#text-set'), await box('main > section'), await box('#extras')];
      if (width < 800) {
        assert.ok(text.bottom <= preview.top && preview.bottom <= options.top, JSON.stringify({ text, preview, options }));
      } else {
        assert.ok(preview.left >= text.right && preview.top < text.bottom, JSON.stringify({ text, preview }));
      }
      await narrow.close();
    });
  }
});

test('the server answers a path it cannot decode with 400 and goes on; it compresses and validates', async () => {
  const get = (path, headers = {}) => new Promise((done, fail) => {
    const asked = httpRequest(server.url + path.slice(1), { headers, timeout: 5000 }, (response) => {
      const chunks = [];
      response.on('data', (chunk) => chunks.push(chunk));
      response.on('end', () => done({ status: response.statusCode, headers: response.headers, body: Buffer.concat(chunks) }));
    });
    asked.on('timeout', () => asked.destroy(new Error(`no answer to ${path}`))).on('error', fail).end();
  });
  assert.equal((await get('/%E0%A4%A')).status, 400);
  const plain = await get('/page.js');
  assert.equal(plain.status, 200);
  assert.ok(plain.body.equals(readFileSync(join(pageDir, 'page.js'))));
  const packed = await get('/panelwright.wasm', { 'accept-encoding': 'gzip, br' });
  assert.equal(packed.headers['content-encoding'], 'gzip');
  assert.ok(packed.body.length < gzipSync(readFileSync(join(pageDir, 'panelwright.wasm'))).length * 1.1);
  const again = await get('/panelwright.wasm', { 'if-none-match': packed.headers.etag });
  assert.equal(again.status, 304);
  assert.equal(again.body.length, 0);
});

// The page as one file: what ./dev package ships, opened from disk with every network request refused.
const singleFile = join(pageDir, '..', 'panelwright.html');

test('the one-file page stays within its size', () => {
  const bytes = readFileSync(singleFile);
  assert.ok(bytes.length <= 2.0e6, `${bytes.length} bytes`);
  const packed = gzipSync(bytes, { level: 9 }).length;
  assert.ok(packed <= 900e3, `${packed} bytes gzip-compressed`);
});

test('the one-file page opened from disk with no network composes the command line\'s PNG and shows the licences', async () => {
  const context = await browser.newContext();
  const refused = [];
  await context.route('**/*', (route) => {
    if (route.request().url().startsWith('file:')) return route.continue();
    refused.push(route.request().url());
    return route.abort();
  });
  const single = await context.newPage();
  await single.goto(pathToFileURL(singleFile).href);
  await single.waitForSelector('body[data-ready=true]');
  await single.selectOption('#face-sheet', 'faces.png');
  await single.fill('#face-index', '3');
  await single.fill('#text', 'Offline\n\\C[2]from disk');
  assert.equal(await single.textContent('#message'), '');
  const [file] = await Promise.all([single.waitForEvent('download'), single.click('#save-png')]);
  const output = join(work, 'single.png');
  const run = runCli(['compose', '--text', 'Offline\n\\C[2]from disk', '--face', `${sample('faces.png')}:3`, '-o', output]);
  assert.equal(run.status, 0, run.stderr);
  assert.ok(readFileSync(await file.path()).equals(readFileSync(output)));
  // The Licence link shows the licences of the program and of what is built into the page.
  assert.equal(await single.isVisible('#licence'), false);
  await single.click('a:text-is("Licence")');
  assert.equal(await single.isVisible('#licence'), true);
  const licence = await single.textContent('#licence');
  for (const words of ['GPL-2.0-or-later', 'GNU GENERAL PUBLIC LICENSE', 'Version 2, June 1991', 'Shinonome',
    'Public Domain', '6x12', 'Share and enjoy', 'efont', 'BSD-3-Clause', 'WenQuanYi', 'font embedding exception',
    'zlib', 'Jean-loup Gailly', 'libdeflate', 'Eric Biggers', 'giflib', 'Eric S. Raymond', 'fflate', 'Arjun Barrett']) {
    assert.ok(licence.includes(words), words);
  }
  assert.ok(!licence.includes('@LICENCE_'));
  await single.click('#licence a[href="#"]');
  assert.equal(await single.isVisible('#licence'), false);
  assert.deepEqual(refused, []);
  await context.close();
});

test('the served page works with the server stopped once visited, and a new build replaces it whole', async () => {
  const dir = mkdtempSync(join(work, 'served-'));
  cpSync(pageDir, dir, { recursive: true });
  let own = await serve(dir);
  const port = new URL(own.url).port;
  const context = await browser.newContext();
  const visit = await context.newPage();
  const cacheName = () => 'panelwright-' + /const version = '([0-9a-f]+)'/.exec(readFileSync(join(dir, 'sw.js'), 'utf8'))[1];
  // Ready when the page is controlled and only this build's cache is kept.
  const open = async (ready) => {
    await visit.goto(own.url);
    await visit.waitForSelector('body[data-ready=true]');
    if (ready) {
      await visit.evaluate(async (name) => {
        while (!navigator.serviceWorker.controller || JSON.stringify(await caches.keys()) !== JSON.stringify([name])) {
          await new Promise((later) => setTimeout(later, 50));
        }
      }, ready);
    }
  };
  const composes = async (text) => {
    await visit.fill('#text', text);
    assert.equal(await visit.textContent('#message'), '');
    const [file] = await Promise.all([visit.waitForEvent('download'), visit.click('#save-png')]);
    const output = join(work, 'served.png');
    assert.equal(runCli(['compose', '--text', text, '-o', output]).status, 0);
    assert.ok(readFileSync(await file.path()).equals(readFileSync(output)));
  };
  try {
    await open(cacheName());
    // Chromium finds nothing that keeps it from installing the page as an app, but that the
    // test's browser profile is a private one.
    const devtools = await context.newCDPSession(visit);
    const { installabilityErrors } = await devtools.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors.filter((e) => e.errorId !== 'in-incognito'), []);
    assert.deepEqual((await devtools.send('Page.getAppManifest')).errors, []);
    await own.close();
    await visit.reload();
    await visit.waitForSelector('body[data-ready=true]');
    await composes('No server');

    // A rebuild: a changed page script and the service worker made again.
    appendFileSync(join(dir, 'page.js'), "\ndocument.documentElement.dataset.build = 'second';\n");
    execFileSync(process.execPath, [join(root, 'web', 'page_build.mjs'), 'sw', dir]);
    own = await serve(dir, Number(port));
    await open(cacheName());
    assert.equal(await visit.getAttribute('html', 'data-build'), 'second');
    await own.close();
    await visit.reload();
    await visit.waitForSelector('body[data-ready=true]');
    assert.equal(await visit.getAttribute('html', 'data-build'), 'second');
    await composes('Second build');
  } finally {
    await context.close();
    await own.close();
  }
});
