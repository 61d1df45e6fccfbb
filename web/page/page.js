// The page: reads the form, hands it to the compiled session and shows what comes back. Every
// picture is read, composed, reduced and written by the C++ libraries; this script only moves
// bytes and pixels between them and the page.
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);
  const module = await createPanelwright();
  const session = new module.Session();
  const state = { zoom: 2 };

  const showMessage = (text) => { $('message').textContent = text || ''; };
  // Shows a session call's failure message, or clears the message; true when there was none.
  const succeeded = (failure) => { showMessage(failure); return !failure; };

  // "#rrggbb" and the colour value 0x00BBGGRR.
  const toColour = (hex) => {
    const rgb = parseInt(hex.slice(1), 16);
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
  };
  const toHex = (colour) => {
    const rgb = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    return '#' + rgb.toString(16).padStart(6, '0');
  };

  const paint = (canvas, width, height, rgba) => {
    canvas.width = width;
    canvas.height = height;
    if (width === 0 || height === 0) return;
    canvas.getContext('2d').putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), 0, 0);
  };

  // The form as the session's options.
  const options = () => ({
    text: $('text').value,
    font: $('font').value,
    wallMode: Number($('wall').value),
    margin: Number($('margin').value),
    lineGap: Number($('gap').value),
    transColor: toColour($('trans').value),
    depth: Number($('depth').value),
    faceIndex: Number($('face-index').value),
    faceRight: $('face-right').checked,
    faceFlip: $('face-flip').checked,
    pauseArrow: $('pause-arrow').checked,
    gameCodes: $('game-codes').checked,
    names: $('names').value,
    values: $('values').value,
    speed: Number($('speed').value),
    hold: Number($('hold').value),
    loop: Number($('loop').value),
    open: $('open').checked,
  });

  // Pixel-exact zoom: the canvas is shown at a whole multiple of its size, without smoothing.
  const showZoom = () => {
    const canvas = $('window');
    canvas.style.width = canvas.width * state.zoom + 'px';
    canvas.style.height = canvas.height * state.zoom + 'px';
    $('zoom-value').textContent = state.zoom + '×';
    if (session.width()) {
      $('caption').textContent =
        `${session.width()} × ${session.height()} pixels, ${state.zoom}×, ${session.bitsPerPixel()} bits per pixel`;
    }
  };

  // Playing the animation in the preview at 60 frames a second; any edit stops it.
  const player = { frame: null, started: 0, starts: [], plays: 0 };
  const stopPlaying = () => {
    if (player.frame !== null) cancelAnimationFrame(player.frame);
    player.frame = null;
    $('play').textContent = 'Play';
    $('play').setAttribute('aria-pressed', 'false');
    delete document.body.dataset.playing;
  };
  const playStep = (now) => {
    const ticks = Math.floor((now - player.started) * 60 / 1000);
    const total = player.starts[player.starts.length - 1];
    const loops = Math.floor(ticks / total);
    if (player.plays > 0 && loops >= player.plays) { stopPlaying(); compose(); return; }
    const at = ticks % total;
    let i = 0;
    while (player.starts[i + 1] <= at) ++i;
    if (i !== player.shown) {
      paint($('window'), session.animationWidth(), session.animationHeight(), session.frameRgba(i));
      showZoom();
      player.shown = i;
      document.body.dataset.playing = String(i);
    }
    player.frame = requestAnimationFrame(playStep);
  };
  const play = () => {
    if (player.frame !== null) { stopPlaying(); compose(); return; }
    if (!session.hasSkin() || !succeeded(session.animate(options()))) return;
    player.starts = [0];
    for (let i = 0; i < session.frameCount(); ++i) player.starts.push(player.starts[i] + session.frameTicks(i));
    player.plays = Number($('loop').value);
    player.shown = -1;
    player.started = performance.now();
    $('play').textContent = 'Stop';
    $('play').setAttribute('aria-pressed', 'true');
    player.frame = requestAnimationFrame(playStep);
  };

  const compose = () => {
    stopPlaying();
    if (!session.hasSkin()) return;
    if (!succeeded(session.compose(options()))) return;
    paint($('window'), session.width(), session.height(), session.windowRgba());
    showZoom();
  };

  const showSkin = () => paint($('skin'), 160, 80, session.skinRgba());

  const readFile = async (file) => new Uint8Array(await file.arrayBuffer());

  const loadSkinFile = async (file) => {
    if (!succeeded(session.loadSkin(file.name, await readFile(file)))) return;
    $('sample').value = '';
    showSkin();
    compose();
  };

  const download = (bytes, name, type) => {
    const url = URL.createObjectURL(new Blob([bytes.slice()], { type }));
    const link = document.createElement('a');
    link.href = url;
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 1000);
  };

  $('sample').append(new Option('(your own skin)', ''));
  $('sample').options[0].disabled = true;
  for (const name of module.Session.sampleSkinNames().split('\n').filter(Boolean)) {
    $('sample').append(new Option(name, name));
  }
  $('sample').selectedIndex = 1;
  $('sample').addEventListener('change', () => {
    if (succeeded(session.loadSampleSkin($('sample').value))) { showSkin(); compose(); }
  });
  $('skin-file').addEventListener('change', (e) => { if (e.target.files[0]) loadSkinFile(e.target.files[0]); });

  const drop = $('drop');
  drop.addEventListener('dragover', (e) => { e.preventDefault(); drop.classList.add('over'); });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (e) => {
    e.preventDefault();
    drop.classList.remove('over');
    if (e.dataTransfer.files[0]) loadSkinFile(e.dataTransfer.files[0]);
  });

  $('skin').addEventListener('click', (e) => {
    const box = e.target.getBoundingClientRect();
    const x = Math.floor((e.clientX - box.left) * 160 / box.width);
    const y = Math.floor((e.clientY - box.top) * 80 / box.height);
    $('trans').value = toHex(session.pickColour(x, y));
    compose();
  });

  // A picture input beside its remove button: load(name, bytes) reads the chosen file into the
  // session, clear() drops it; the window is composed again after either.
  const sheetInput = (input, button, load, clear) => {
    $(input).addEventListener('change', async (e) => {
      const file = e.target.files[0];
      if (!file) return;
      if (succeeded(load(file.name, await readFile(file)))) compose();
    });
    $(button).addEventListener('click', () => { clear(); $(input).value = ''; compose(); });
  };
  sheetInput('glyphs', 'glyphs-clear', (name, bytes) => session.loadUserGlyphs(name, bytes),
             () => session.clearUserGlyphs());
  sheetInput('face-file', 'face-clear', (name, bytes) => session.loadFaceSheet(name, bytes),
             () => session.clearFaceSheet());

  for (const id of ['text', 'font', 'wall', 'margin', 'gap', 'trans', 'depth', 'face-index', 'face-right',
                    'face-flip', 'pause-arrow', 'game-codes', 'names', 'values', 'speed', 'hold', 'loop', 'open']) {
    $(id).addEventListener('input', compose);
  }
  $('zoom').addEventListener('input', () => {
    state.zoom = Number($('zoom').value);
    showZoom();
  });
  $('form').addEventListener('submit', (e) => e.preventDefault());
  $('save-bmp').addEventListener('click', () => {
    if (!session.width()) { showMessage('There is no window to save yet.'); return; }
    download(session.windowBmp(), 'window.bmp', 'image/bmp');
  });
  $('save-png').addEventListener('click', () => {
    if (!session.width()) { showMessage('There is no window to save yet.'); return; }
    download(session.windowPng(), 'window.png', 'image/png');
  });

  $('play').addEventListener('click', play);
  // The animation of the form, as panelwright-cli compose --animate writes it.
  const saveAnimation = (file, name, type) => {
    if (!session.hasSkin() || !succeeded(session.animate(options()))) return;
    download(file(), name, type);
  };
  $('save-gif').addEventListener('click', () => saveAnimation(() => session.animationGif(), 'window.gif', 'image/gif'));
  $('save-apng').addEventListener('click', () => saveAnimation(() => session.animationApng(), 'window.png', 'image/apng'));

  $('text').value = '\\C[0]Welcome to \\C[2]Panelwright\\C[0]! $A$b\n\\C[4]Skins, text and glyphs in one window.';
  $('sample').dispatchEvent(new Event('change'));
  document.body.dataset.ready = 'true';
})().catch((e) => {
  document.getElementById('message').textContent = 'The page could not start: ' + e;
});
