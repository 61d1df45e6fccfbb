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
    letters: $('letters').value,
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

  const compose = () => {
    if (!session.hasSkin()) return;
    if (!succeeded(session.compose(options()))) return;
    paint($('window'), session.width(), session.height(), session.windowRgba());
    // Characters that no font holds are drawn as boxes: named here, not refused.
    $('notes').textContent = session.notes();
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

  // A text file in the chosen encoding fills the text box; its encoding sets the letters.
  $('text-file').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    if (!file) return;
    const encoding = $('text-encoding').value;
    const text = module.Session.decodeText(await readFile(file), encoding);
    e.target.value = '';  // the same file can be read again, in another encoding
    if (text.startsWith('!')) { showMessage(`${file.name}: ${text.slice(1)}`); return; }
    $('text').value = text;
    $('letters').value = module.Session.defaultLetters(encoding);
    compose();
  });

  for (const id of ['text', 'font', 'letters', 'wall', 'margin', 'gap', 'trans', 'depth', 'face-index', 'face-right',
                    'face-flip', 'pause-arrow', 'game-codes', 'names', 'values']) {
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

  $('text').value = '\\C[0]Welcome to \\C[2]Panelwright\\C[0]! $A$b\n\\C[4]Skins, text and glyphs in one window.';
  $('sample').dispatchEvent(new Event('change'));
  document.body.dataset.ready = 'true';
})().catch((e) => {
  document.getElementById('message').textContent = 'The page could not start: ' + e;
});
