// The page benchmark: opens bench.html in headless Chromium from a server on 127.0.0.1 and
// prints the median time of one four-line composition, alone and with the colour reduction and
// preview pixels that the page makes after each one (no reduction at the default 24 bits); then
// the median time of making each of the page's downloads of that window: its PNG and BMP files,
// and the animated GIF and PNG of the same text (each composing the animation first, as the page
// does). PW_PAGE_DIR points it at another built page folder. Run by ./dev bench web.
import { launch, pageDir, serve } from './harness.mjs';

const server = await serve(pageDir);
const browser = await launch();
try {
  const page = await browser.newPage();
  await page.goto(server.url + 'bench.html');
  await page.waitForSelector('body[data-done=true]', { timeout: 120000 });
  const result = JSON.parse(await page.textContent('#result'));
  if (result.failure) throw new Error(result.failure);
  console.log(`4-line window ${result.width}x${result.height}: compose ${result.composeMs.toFixed(3)} ms, ` +
              `compose + preview pixels ${result.composeAndPixelsMs.toFixed(3)} ms (median)`);
  console.log(`4-line window downloads: PNG file ${result.pngMs.toFixed(3)} ms (${result.pngBytes} bytes), ` +
              `BMP file ${result.bmpMs.toFixed(3)} ms (${result.bmpBytes} bytes) (median)`);
  const a = result.animation;
  if (a) {
    console.log(`4-line animation ${a.width}x${a.height}, ${a.frames} frames: compose ${a.animateMs.toFixed(2)} ms, ` +
                `GIF download ${a.gifMs.toFixed(2)} ms (${a.gifBytes} bytes), ` +
                `animated PNG download ${a.apngMs.toFixed(2)} ms (${a.apngBytes} bytes) (median)`);
  } else {
    console.log('4-line animation: this page makes no animations');
  }
} finally {
  await browser.close();
  await server.close();
}
