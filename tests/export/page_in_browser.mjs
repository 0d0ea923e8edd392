#!/usr/bin/env node
// Opens a page address in headless Chromium exactly as it is served (nothing is added to the
// page) and takes screenshots of the browser player at given movie times.
//
//   node page_in_browser.mjs --url URL --width W --height H --at MS[,MS...] --out DIR
//                            [--node-dir DIR] [--timeout-ms N]
//
// Writes shot-<ms>.ppm (binary P6, the player's area) into DIR and prints one JSON line:
// {"ok":true,"frameRate":..,"shots":["shot-100.ppm",...]} or {"ok":false,"error":"..."}.
// The page's clock is a fake one, as in the swfplay harness: it stands still until the movie
// has loaded and is then moved to each movie time, so results do not depend on machine speed.

import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';
import { parseArgs } from 'node:util';
import { decodePng, pageTimeForMovieTime } from '../../tools/swfplay/swfplay.mjs';

const { values } = parseArgs({
    options: {
        url: { type: 'string' },
        width: { type: 'string' },
        height: { type: 'string' },
        at: { type: 'string' },
        out: { type: 'string' },
        'node-dir': { type: 'string' },
        'timeout-ms': { type: 'string', default: '60000' },
    },
});

async function run() {
    const nodeDir = values['node-dir'] || process.env.CLIPMOOR_NODE_DIR;
    const require = createRequire(path.join(path.resolve(nodeDir), 'package.json'));
    const { chromium } = require('playwright-core');
    const url = new URL(values.url);
    if (url.hostname !== '127.0.0.1') throw new Error(`not a loopback address: ${values.url}`);
    const width = Number(values.width), height = Number(values.height);
    const timeout = Number(values['timeout-ms']);
    const times = values.at.split(',').map(Number);
    fs.mkdirSync(values.out, { recursive: true });

    const browser = await chromium.launch({
        executablePath: '/usr/bin/chromium',
        headless: true,
        timeout,
        args: ['--headless', '--no-sandbox', '--disable-gpu', '--no-first-run',
            '--disable-background-networking', '--disable-component-update', '--disable-sync',
            '--disable-extensions', '--mute-audio', '--hide-scrollbars',
            '--force-color-profile=srgb', '--force-device-scale-factor=1',
            '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1'],
    });
    try {
        const context = await browser.newContext({ viewport: { width: width + 100, height: height + 100 },
            deviceScaleFactor: 1, serviceWorkers: 'block' });
        context.setDefaultTimeout(timeout);
        const problems = [];
        await context.route('**/*', (route) => {
            if (route.request().url().startsWith(url.origin + '/')) return route.continue();
            problems.push(`blocked ${route.request().url()}`);
            return route.abort('blockedbyclient');
        });
        await context.clock.install({ time: 0 });
        await context.clock.pauseAt(1000);
        const page = await context.newPage();
        page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
        await page.addInitScript(() => {
            const request = window.requestAnimationFrame.bind(window);
            window.__frameRequests = 0;
            window.requestAnimationFrame = (cb) => { window.__frameRequests++; return request(cb); };
        });
        const response = await page.goto(url.href, { waitUntil: 'load' });
        if (!response || response.status() !== 200) throw new Error(`the page answered ${response?.status()}`);

        const deadline = Date.now() + timeout;
        let state;
        for (;;) {
            state = await page.evaluate(() => {
                const player = document.querySelector('ruffle-object, ruffle-embed, ruffle-player');
                if (!player || typeof player.ruffle !== 'function') return { loaded: false };
                const meta = player.ruffle().metadata;
                const box = player.getBoundingClientRect();
                return { loaded: !!meta && window.__frameRequests > 0, frameRate: meta?.frameRate,
                    left: Math.round(box.left), top: Math.round(box.top) };
            });
            if (state.loaded) break;
            if (Date.now() > deadline)
                throw new Error(`the movie did not load: ${problems.join('; ') || 'no player on the page'}`);
            await new Promise((r) => setTimeout(r, 25));
        }
        const shots = [];
        for (const t of [...times].sort((a, b) => a - b)) {
            const now = await page.evaluate(() => performance.now());
            const target = pageTimeForMovieTime(t, 1000 / state.frameRate);
            if (target > now) await page.clock.runFor(Math.ceil(target - now));
            const png = await page.screenshot({ clip: { x: state.left, y: state.top, width, height } });
            const image = decodePng(png);
            const name = `shot-${t}.ppm`;
            fs.writeFileSync(path.join(values.out, name), Buffer.concat([
                Buffer.from(`P6\n${image.width} ${image.height}\n255\n`, 'latin1'), image.rgb]));
            fs.writeFileSync(path.join(values.out, `shot-${t}.png`), png);
            shots.push(name);
        }
        return { ok: true, frameRate: state.frameRate, shots, problems };
    } finally {
        await browser.close().catch(() => {});
    }
}

const guard = setTimeout(() => {
    console.log(JSON.stringify({ ok: false, error: 'gave up' }));
    process.exit(1);
}, 4 * Number(values['timeout-ms']));
try {
    console.log(JSON.stringify(await run()));
} catch (e) {
    console.log(JSON.stringify({ ok: false, error: String(e.message).split('\n')[0] }));
    process.exitCode = 1;
}
clearTimeout(guard);
