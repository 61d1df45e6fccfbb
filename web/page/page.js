// The page: reads the form, hands it to the compiled session and shows what comes back. Every
// picture is read, composed, reduced and written by the C++ libraries; this script only moves
// bytes and pixels between them and the page.
'use strict';

(async () => {
  const $ = (id) => document.getElementById(id);
  // The page as one file carries its WebAssembly module inside it, as base64.
  const bundled = self.pageModules?.['panelwright.wasm'];
  const module = await createPanelwright(
    bundled ? { wasmBinary: Uint8Array.from(atob(bundled), (c) => c.charCodeAt(0)) } : {});
  const session = new module.Session();
  // dialogue: the text is a dialogue, one window a block; shown: the block in the preview.
  const state = { zoom: 2, dialogue: false, shown: 0 };

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

  // Draws the pixels into the canvas; false when the browser cannot hold a canvas that large
  // (it then stays blank: every window is opaque, so its last pixel tells).
  const paint = (canvas, width, height, rgba) => {
    try {
      canvas.width = width;
      canvas.height = height;
      if (width === 0 || height === 0) return true;
      const context = canvas.getContext('2d');
      context.putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), 0, 0);
      if (context.getImageData(width - 1, height - 1, 1, 1).data[3] === 255) return true;
    } catch {
      // too large for a canvas
    }
    // A canvas the browser failed to make that large stays unusable: a fresh one takes its place.
    canvas.replaceWith(canvas.cloneNode(false));
    return false;
  };

  // The form as the session's options.
  const options = () => ({
    text: $('text').value,
    font: $('font').value,
    letters: $('letters').value,
    wallMode: Number($('wall').value),
    margin: $('margin').value,
    lineGap: $('gap').value,
    transColor: toColour($('trans').value),
    depth: Number($('depth').value),
    faceIndex: $('face-index').value,
    faceRight: $('face-right').checked,
    faceFlip: $('face-flip').checked,
    pauseArrow: $('pause-arrow').checked,
    gameCodes: $('game-codes').checked,
    names: $('names').value,
    values: $('values').value,
    // As typed: the command line's rules refuse what they refuse (2.5 plays, 1e1 seconds).
    speed: $('speed').value,
    hold: $('hold').value,
    loop: $('loop').value,
    open: $('open').checked,
  });

  // Pixel-exact zoom: the canvases are shown at a whole multiple of their size, without smoothing.
  const zoomCanvas = (canvas) => {
    canvas.style.width = canvas.width * state.zoom + 'px';
    canvas.style.height = canvas.height * state.zoom + 'px';
  };
  const showZoom = () => {
    zoomCanvas($('window'));
    for (const canvas of $('dialogue-list').querySelectorAll('canvas')) zoomCanvas(canvas);
    $('zoom-value').textContent = state.zoom + '×';
    const { width, height, bits } = state.caption ?? {};
    $('caption').textContent = width ? `${width} × ${height} pixels, ${state.zoom}×, ${bits} bit${bits === 1 ? '' : 's'} per pixel` : '';
  };

  // The preview of a window: its pixels, its caption, or the note that it is too large to show.
  const preview = (width, height, bits, rgba) => {
    state.caption = { width, height, bits };
    const shown = paint($('window'), width, height, rgba);
    $('notice').textContent = shown ? ''
      : `The window is too large to preview (${width} × ${height} pixels); downloading still saves it.`;
    showZoom();
  };

  // The download buttons save the last window composed; after a failure there is none to save.
  const canSave = (yes) => {
    for (const id of ['save-bmp', 'save-png', 'save-all']) $(id).disabled = !yes;
  };

  const composeWindow = () => {
    const done = succeeded(session.compose(options()));
    canSave(done);
    if (done) preview(session.width(), session.height(), session.bitsPerPixel(), session.windowRgba());
    // Characters that no font holds are drawn as boxes: named here, not refused.
    $('notes').textContent = done ? session.notes() : '';
  };

  // The block of the dialogue that holds the text cursor: the separators above it count.
  const blockAtCursor = () => {
    const text = $('text').value.slice(0, $('text').selectionStart).replaceAll('\r\n', '\n');
    return text.split('\n').slice(0, -1).filter((line) => line === '---').length;
  };

  // The preview shows the window of the block at the text cursor; a block that failed shows none
  // (its message is in the list).
  const showDialogueBlock = () => {
    const count = session.dialogueCount();
    const i = Math.min(blockAtCursor(), count - 1);
    state.shown = i;
    if (i < 0 || session.dialogueFailure(i)) {
      state.caption = null;
      paint($('window'), 0, 0, null);
      showZoom();
      return;
    }
    preview(session.dialogueWidth(i), session.dialogueHeight(i), Number($('depth').value), session.dialogueRgba(i));
  };

  // Every window of the dialogue in the list under the preview, each with its file name, or the
  // message of a block that failed.
  const composeDialogue = () => {
    const list = $('dialogue-list');
    list.replaceChildren();
    const done = succeeded(session.composeDialogue(options(), $('text').value, $('dialogue-format').value === 'png'));
    let saved = 0;
    for (let i = 0; done && i < session.dialogueCount(); ++i) {
      const item = document.createElement('li');
      const name = document.createElement('span');
      name.className = 'name';
      name.textContent = session.dialogueName(i);
      item.append(name);
      const failure = session.dialogueFailure(i);
      if (failure) {
        const message = document.createElement('span');
        message.className = 'failure';
        message.textContent = failure;
        item.append(message);
      } else {
        ++saved;
        const canvas = document.createElement('canvas');
        canvas.setAttribute('aria-label', session.dialogueName(i));
        const width = session.dialogueWidth(i);
        const height = session.dialogueHeight(i);
        if (paint(canvas, width, height, session.dialogueRgba(i))) item.append(canvas);
        else item.append(`${width} × ${height} pixels: too large to preview`);
      }
      list.append(item);
    }
    canSave(saved > 0);
    // Characters that no font holds, in any window of the dialogue.
    $('notes').textContent = done ? session.notes() : '';
    showDialogueBlock();
    showZoom();
  };

  // Composes the animation of the form, or in Dialogue mode of the whole dialogue, a page a block;
  // name is the file it is saved as, which a failing block's message names. "" or the failure.
  const animate = (name) => (state.dialogue
    ? session.animateDialogue(options(), $('text').value, name)
    : session.animate(options()));

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
    if (!session.hasSkin() || !succeeded(animate('window.gif'))) return;
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
    if (state.dialogue) composeDialogue();
    else composeWindow();
  };

  // Typing in a dialogue composes every window: that waits for a pause in the typing, and the
  // dialogue's data-state says "pending" until it is done.
  let pause = 0;
  const composeSoon = () => {
    if (!state.dialogue) { compose(); return; }
    clearTimeout(pause);
    $('dialogue').dataset.state = 'pending';
    pause = setTimeout(() => { compose(); $('dialogue').dataset.state = 'done'; }, 150);
  };

  const showSkin = () => paint($('skin'), 160, 80, session.skinRgba());

  const readFile = async (file) => new Uint8Array(await file.arrayBuffer());

  // The skin in use, named under the file field: a refused file leaves the one before in use.
  const skinInUse = (name) => { $('skin-name').textContent = 'In use: ' + name; };

  const loadSkinFile = async (file) => {
    if (!succeeded(session.loadSkin(file.name, await readFile(file)))) {
      $('skin-file').value = '';
      return;
    }
    $('sample').value = '';
    skinInUse(file.name);
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

  // The encodings of a text file, named as the window names them.
  for (const line of module.Session.encodings().split('\n').filter(Boolean)) {
    const [name, title] = line.split('\t');
    $('text-encoding').append(new Option(title, name));
  }

  $('sample').append(new Option('(your own skin)', ''));
  $('sample').options[0].disabled = true;
  for (const name of module.Session.sampleSkinNames().split('\n').filter(Boolean)) {
    $('sample').append(new Option(name, name));
  }
  $('sample').selectedIndex = 1;
  $('sample').addEventListener('change', () => {
    if (!succeeded(session.loadSampleSkin($('sample').value))) return;
    $('skin-file').value = '';
    skinInUse(`${$('sample').value} (sample skin)`);
    showSkin();
    compose();
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
  sheetInput('face-file', 'face-clear', (name, bytes) => {
    const failure = session.loadFaceSheet(name, bytes);
    listFaceSheets();
    return failure;
  }, () => { session.clearFaceSheet(); listFaceSheets(); });

  // The face sheets the session keeps (the sample and those opened), the one in use chosen.
  const listFaceSheets = () => {
    const select = $('face-sheet');
    select.replaceChildren(new Option('(no face)', ''));
    for (const name of session.faceSheetNames().split('\n').filter(Boolean)) {
      select.append(new Option(name === 'faces.png' ? 'faces.png (sample sheet)' : name, name));
    }
    select.value = session.faceSheet();
  };
  $('face-sheet').addEventListener('change', () => {
    if (succeeded(session.chooseFaceSheet($('face-sheet').value))) compose();
  });
  listFaceSheets();

  const setMode = () => {
    state.dialogue = $('mode-dialogue').checked;
    $('dialogue').hidden = !state.dialogue;
    $('dialogue-help').hidden = !state.dialogue;
    // A dialogue's windows are saved together; its animation, like the window's, from here.
    for (const id of ['save-bmp', 'save-png']) $(id).hidden = state.dialogue;
    if (!state.dialogue) $('dialogue-list').replaceChildren();
    compose();
  };
  for (const id of ['mode-window', 'mode-dialogue']) $(id).addEventListener('change', setMode);
  $('dialogue-format').addEventListener('input', compose);
  for (const event of ['click', 'keyup']) {
    $('text').addEventListener(event, () => { if (state.dialogue && blockAtCursor() !== state.shown) showDialogueBlock(); });
  }

  // A text file in the chosen encoding fills the text box; its encoding sets the letters. A text
  // whose window no reader could take is refused and the text box keeps what it held.
  $('text-file').addEventListener('change', async (e) => {
    const file = e.target.files[0];
    if (!file) return;
    const encoding = $('text-encoding').value;
    const text = module.Session.decodeText(await readFile(file), encoding);
    e.target.value = '';  // the same file can be read again, in another encoding
    if (text.startsWith('!')) { showMessage(`${file.name}: ${text.slice(1)}`); return; }
    const letters = module.Session.defaultLetters(encoding);
    const refused = session.hasSkin() && session.checkText({ ...options(), text, letters }, state.dialogue);
    if (refused) { showMessage(`${file.name}: ${refused}`); return; }
    $('text').value = text;
    $('letters').value = letters;
    compose();
  });

  for (const id of ['text', 'font', 'letters', 'wall', 'margin', 'gap', 'trans', 'depth', 'face-index', 'face-right',
                    'face-flip', 'pause-arrow', 'game-codes', 'names', 'values', 'speed', 'hold', 'loop', 'open']) {
    $(id).addEventListener('input', composeSoon);
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
  // The dialogue's windows as one ZIP of the files the command line writes; PNG files are
  // stored as they are, BMP files compressed.
  $('save-all').addEventListener('click', () => {
    const files = {};
    for (let i = 0; i < session.dialogueCount(); ++i) {
      const bytes = session.dialogueFile(i);
      if (bytes) files[session.dialogueName(i)] = [bytes.slice(), { level: $('dialogue-format').value === 'png' ? 0 : 6 }];
    }
    if (!Object.keys(files).length) { showMessage('There is no window to save yet.'); return; }
    download(fflate.zipSync(files), 'dialogue.zip', 'application/zip');
  });

  $('play').addEventListener('click', play);
  // The animation of the form, as panelwright-cli compose --animate writes it (with --batch for a
  // dialogue).
  const saveAnimation = (file, name, type) => {
    if (!session.hasSkin() || !succeeded(animate(name))) return;
    const bytes = file();
    if (succeeded(session.fileFailure())) download(bytes, name, type);
  };
  $('save-gif').addEventListener('click', () => saveAnimation(() => session.animationGif(), 'window.gif', 'image/gif'));
  // Not the still window's window.png: both can be kept side by side.
  $('save-apng').addEventListener('click', () => saveAnimation(() => session.animationApng(), 'window-animated.png', 'image/apng'));

  $('text').value = '\\C[0]Welcome to \\C[2]Panelwright\\C[0]! $A$b\n\\C[4]Skins, text and glyphs in one window.';
  $('sample').dispatchEvent(new Event('change'));
  document.body.dataset.ready = 'true';
  // Served over HTTP, the page keeps its files for use without the server (not from disk).
  if ('serviceWorker' in navigator && location.protocol.startsWith('http')) {
    navigator.serviceWorker.register('sw.js').catch(() => {});
  }
})().catch((e) => {
  document.getElementById('message').textContent = 'The page could not start: ' + e;
});
