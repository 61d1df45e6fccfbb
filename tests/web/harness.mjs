// Shared by the browser tests and the page benchmark: the static file server for the built page
// on 127.0.0.1, and Debian's headless Chromium driven by playwright-core.
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export { serve } from '../../web/serve.mjs';

export const root = resolve(fileURLToPath(new URL('../..', import.meta.url)));
export const pageDir = process.env.PW_PAGE_DIR || join(root, 'build-web', 'page');
const { chromium } = createRequire(join(root, 'web', 'package.json'))('playwright-core');

// Headless Chromium; playwright-core gives it a fresh, temporary profile. The flags keep it from
// reaching for the network on its own.
export function launch() {
  return chromium.launch({
    executablePath: process.env.PW_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}
