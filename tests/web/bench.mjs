// The page benchmark: opens bench.html in headless Chromium from a server on 127.0.0.1 and
// prints the median time of one four-line composition, alone and with the colour reduction and
// preview pixels that the page makes after each one (no reduction at the default 24 bits). Run by
// ./dev bench web.
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
} finally {
  await browser.close();
  await server.close();
}
