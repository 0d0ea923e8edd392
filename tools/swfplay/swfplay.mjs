#!/usr/bin/env node
// Plays a SWF movie (or a page that embeds one) in the open-source Flash emulator's web build
// inside headless Chromium and takes screenshots at given movie times.
//
//   node swfplay.mjs --movie FILE.swf --width W --height H --at MS[,MS...] --out DIR
//                    [--page PAGE.htm] [--renderer canvas|webgl] [--timeout-ms N] [--node-dir DIR]
//
// Each screenshot is written as shot-<i>-<ms>ms.png and, for callers without a PNG decoder, as
// shot-<i>-<ms>ms.ppm (binary P6). One JSON line on standard output reports the result:
//   {"ok":true,"renderer":"canvas","movieWidth":..,"movieHeight":..,"frameRate":..,"launchMs":..,
//    "loadMs":..,"shotsMs":..,"totalMs":..,"shots":[{"atMs":0,"png":...,"ppm":...}],"warnings":[...]}
// or {"ok":false,"error":"..."} with exit status 1.
//
// Time is deterministic: the page's clock (Date, performance.now, timers and animation frames) is
// a fake one that stands still until the movie has loaded; then the harness moves it forward to
// each shot.  Movie time 0 is when the first frame shows and frame k shows from k / frameRate on,
// however slow the machine is.  Animation frames come every 16 ms of page time, so a shot taken
// less than 16 ms before a frame change may already show the next frame.

import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';
import { createRequire } from 'node:module';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const here = path.dirname(fileURLToPath(import.meta.url));
const repoRoot = path.resolve(here, '..', '..');
const LOOPBACK = '127.0.0.1';
// Where the server puts the emulator's files and the page it makes up for a bare movie; names no
// movie folder is likely to hold.
const PLAYER_PATH = '/__swfplay_player__';
const GENERATED_PAGE = '__swfplay__.htm';

class UsageError extends Error {}

function parseCommandLine(argv) {
    const { values } = parseArgs({
        args: argv,
        options: {
            movie: { type: 'string' },
            page: { type: 'string' },
            width: { type: 'string' },
            height: { type: 'string' },
            at: { type: 'string' },
            out: { type: 'string' },
            renderer: { type: 'string', default: 'canvas' },
            'timeout-ms': { type: 'string', default: '60000' },
            'node-dir': { type: 'string' },
            'browser': { type: 'string', default: '/usr/bin/chromium' },
        },
        strict: true,
    });
    const positiveInt = (name, text) => {
        if (text === undefined) throw new UsageError(`--${name} is required`);
        if (!/^\d+$/.test(text) || Number(text) <= 0 || Number(text) > 100000)
            throw new UsageError(`--${name} must be a positive whole number, got "${text}"`);
        return Number(text);
    };
    if (!values.movie && !values.page) throw new UsageError('--movie or --page is required');
    if (!values.out) throw new UsageError('--out is required');
    if (values.at === undefined) throw new UsageError('--at is required');
    const times = values.at.split(',').map((t) => t.trim());
    if (times.some((t) => !/^\d+$/.test(t) || Number(t) > 600000))
        throw new UsageError(`--at must list whole milliseconds up to 600000 separated by commas, ` +
            `got "${values.at}"`);
    if (!['canvas', 'webgl'].includes(values.renderer))
        throw new UsageError(`--renderer must be canvas or webgl, got "${values.renderer}"`);
    return {
        movie: values.movie ? path.resolve(values.movie) : null,
        page: values.page ? path.resolve(values.page) : null,
        width: positiveInt('width', values.width),
        height: positiveInt('height', values.height),
        times: times.map(Number),
        out: path.resolve(values.out),
        renderer: values.renderer,
        timeoutMs: positiveInt('timeout-ms', values['timeout-ms']),
        nodeDir: path.resolve(values['node-dir'] || process.env.CLIPMOOR_NODE_DIR ||
            path.join(repoRoot, 'build', 'node')),
        browser: values.browser,
    };
}

function loadToolkit(nodeDir) {
    const require = createRequire(path.join(nodeDir, 'package.json'));
    let playwright, ruffleDir;
    try {
        playwright = require('playwright-core');
        ruffleDir = path.dirname(require.resolve('@ruffle-rs/ruffle/ruffle.js'));
    } catch (e) {
        throw new Error(`the npm packages playwright-core and @ruffle-rs/ruffle are missing from ${nodeDir} ` +
            `(run ./test.sh or tools/install-deps.sh test): ${e.message}`);
    }
    return { playwright, ruffleDir };
}

const contentTypes = {
    '.swf': 'application/x-shockwave-flash',
    '.wasm': 'application/wasm',
    '.js': 'text/javascript',
    '.map': 'application/json',
    '.htm': 'text/html; charset=utf-8',
    '.html': 'text/html; charset=utf-8',
};

// The emulator's settings: play at once, no splash, play button, unmute overlay or menu, and
// one movie pixel on one screen pixel.
function playerConfig(renderer) {
    return {
        autoplay: 'on',
        unmuteOverlay: 'hidden',
        splashScreen: false,
        letterbox: 'off',
        scale: 'noScale',
        contextMenu: 'off',
        preferredRenderer: renderer,
        quality: 'high',
        warnOnUnsupportedContent: false,
        showSwfDownload: false,
        allowNetworking: 'none',
        openUrlMode: 'deny',
        logLevel: 'error',
        polyfills: true,
        publicPath: `${PLAYER_PATH}/`,
    };
}

function configLine(renderer) {
    return `<script>window.RufflePlayer = window.RufflePlayer || {};` +
        `window.RufflePlayer.config = ${JSON.stringify(playerConfig(renderer))};</script>\n`;
}

const playerLine = `<script src="${PLAYER_PATH}/ruffle.js"></script>\n`;

const pageStyle = '<style>html,body{margin:0;padding:0;overflow:hidden;background:#000}' +
    'ruffle-object,ruffle-embed,ruffle-player{display:block;position:absolute;left:0;top:0}</style>\n';

function generatedPage(movieName, width, height, renderer) {
    const src = encodeURIComponent(movieName);
    return '<!DOCTYPE html>\n<html><head><meta charset="utf-8">\n' +
        `${pageStyle}${configLine(renderer)}${playerLine}</head><body>\n` +
        `<embed src="${src}" type="application/x-shockwave-flash" width="${width}" height="${height}">\n` +
        `</body></html>\n`;
}

// Puts the player settings and, unless the page has its own, the emulator's script line in front
// of a page.  The page keeps its document mode (no doctype is added).
function pageWithPlayer(pageText, renderer) {
    const hasPlayer = /<script[^>]*ruffle\.js/i.test(pageText);
    const head = configLine(renderer) + (hasPlayer ? '' : playerLine);
    return `<meta charset="utf-8">\n${pageStyle}${head}` + pageText;
}

const PACKAGED_PLAYER_FILE = /^(ruffle\.js|core\.ruffle\.[0-9a-f]+\.js|[0-9a-f]+\.wasm)$/;

// The file a request path names: only files directly in the movie's folder, and the emulator's
// files (under PLAYER_PATH, or wherever a page with its own emulator line looks for them).
function requestedFile(pathname, movieDir, ruffleDir) {
    const inFolder = (root, relative) => {
        const file = path.resolve(root, relative);
        return path.dirname(file) === root && fs.existsSync(file) ? file : null;
    };
    if (pathname.startsWith(PLAYER_PATH + '/')) return inFolder(ruffleDir, pathname.slice(PLAYER_PATH.length + 1));
    const file = inFolder(movieDir, pathname.slice(1));
    if (file) return file;
    const name = path.basename(pathname);
    return PACKAGED_PLAYER_FILE.test(name) ? inFolder(ruffleDir, name) : null;
}

// Serves the page (with the emulator line added) and requestedFile(); everything else is 404.
// A missing movie or script goes to missingFiles so that the run fails at once instead of
// waiting for the timeout.
function startServer({ movieDir, pageName, pageBody, ruffleDir, missingFiles }) {
    const server = http.createServer((req, res) => {
        let body = null;
        let type = contentTypes['.html'];
        try {
            const pathname = decodeURIComponent(new URL(req.url, `http://${LOOPBACK}`).pathname);
            if (pathname === '/' + pageName) {
                body = pageBody;
            } else {
                const file = requestedFile(pathname, movieDir, ruffleDir);
                if (file) {
                    body = fs.readFileSync(file);
                    type = contentTypes[path.extname(file).toLowerCase()] || 'application/octet-stream';
                } else if (/\.(swf|js|wasm)$/i.test(pathname)) {
                    missingFiles.push(pathname);
                }
            }
        } catch {
            body = null;
        }
        if (req.method !== 'GET' && req.method !== 'HEAD') {
            res.writeHead(405).end();
        } else if (body === null) {
            res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
        } else {
            res.writeHead(200, {
                'Content-Type': type,
                'Content-Length': Buffer.byteLength(body),
                'Cache-Control': 'no-store',
            });
            res.end(req.method === 'HEAD' ? undefined : body);
        }
    });
    return new Promise((resolve, reject) => {
        server.once('error', reject);
        server.listen(0, LOOPBACK, () => resolve(server));
    });
}

// Decodes the 8-bit RGB/RGBA non-interlaced PNGs the browser writes into packed RGB.
export function decodePng(png) {
    const signature = Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]);
    if (png.length < 8 || !png.subarray(0, 8).equals(signature)) throw new Error('screenshot is not a PNG');
    let offset = 8, width = 0, height = 0, channels = 0;
    const idat = [];
    while (offset + 8 <= png.length) {
        const length = png.readUInt32BE(offset);
        const type = png.toString('latin1', offset + 4, offset + 8);
        const data = png.subarray(offset + 8, offset + 8 + length);
        if (type === 'IHDR') {
            width = data.readUInt32BE(0);
            height = data.readUInt32BE(4);
            const [depth, colourType, , , interlace] = data.subarray(8, 13);
            channels = colourType === 2 ? 3 : colourType === 6 ? 4 : 0;
            if (depth !== 8 || !channels || interlace !== 0)
                throw new Error(`unsupported PNG layout (depth ${depth}, colour type ${colourType}, ` +
                    `interlace ${interlace})`);
        } else if (type === 'IDAT') {
            idat.push(data);
        } else if (type === 'IEND') {
            break;
        }
        offset += 12 + length;
    }
    if (!channels) throw new Error('PNG has no header');
    const raw = zlib.inflateSync(Buffer.concat(idat));
    const stride = width * channels;
    if (raw.length < height * (stride + 1)) throw new Error('PNG data is truncated');
    const pixels = Buffer.alloc(height * stride);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        const src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        const row = pixels.subarray(y * stride, (y + 1) * stride);
        const prev = y > 0 ? pixels.subarray((y - 1) * stride, y * stride) : Buffer.alloc(stride);
        for (let i = 0; i < stride; i++) {
            const left = i >= channels ? row[i - channels] : 0;
            const up = prev[i];
            const upLeft = i >= channels ? prev[i - channels] : 0;
            let predictor;
            switch (filter) {
                case 0: predictor = 0; break;
                case 1: predictor = left; break;
                case 2: predictor = up; break;
                case 3: predictor = (left + up) >> 1; break;
                case 4: {
                    const p = left + up - upLeft;
                    const pa = Math.abs(p - left), pb = Math.abs(p - up), pc = Math.abs(p - upLeft);
                    predictor = pa <= pb && pa <= pc ? left : pb <= pc ? up : upLeft;
                    break;
                }
                default: throw new Error(`bad PNG filter ${filter}`);
            }
            row[i] = (src[i] + predictor) & 0xff;
        }
    }
    const rgb = Buffer.alloc(width * height * 3);
    for (let p = 0; p < width * height; p++) {
        rgb[p * 3] = pixels[p * channels];
        rgb[p * 3 + 1] = pixels[p * channels + 1];
        rgb[p * 3 + 2] = pixels[p * channels + 2];
    }
    return { width, height, rgb };
}

// Playwright gives every launch a new empty profile folder (--user-data-dir) and removes it after.
function chromiumArgs(renderer) {
    const args = [
        '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync',
        '--disable-default-apps', '--disable-extensions', '--mute-audio', '--hide-scrollbars',
        '--force-color-profile=srgb', '--force-device-scale-factor=1',
        '--autoplay-policy=no-user-gesture-required',
        // Nothing but the loopback server may be reached.
        `--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE ${LOOPBACK}`,
    ];
    // Without a GPU, WebGL only exists on the software rasteriser.
    if (renderer === 'webgl') args.push('--enable-unsafe-swiftshader', '--use-angle=swiftshader');
    return args;
}

async function run(options) {
    const started = Date.now();
    const { playwright, ruffleDir } = loadToolkit(options.nodeDir);
    if (!fs.existsSync(options.browser))
        throw new Error(`Chromium is missing at ${options.browser} (run ./test.sh or tools/install-deps.sh test)`);

    const source = options.page || options.movie;
    if (!fs.statSync(source, { throwIfNoEntry: false })?.isFile()) throw new Error(`no such file: ${source}`);
    const movieDir = path.dirname(source);
    const pageName = options.page ? path.basename(options.page) : GENERATED_PAGE;
    const pageBody = options.page
        ? pageWithPlayer(fs.readFileSync(options.page, 'latin1'), options.renderer)
        : generatedPage(path.basename(options.movie), options.width, options.height, options.renderer);

    fs.mkdirSync(options.out, { recursive: true });
    let server = null;
    let browser = null;
    const missingFiles = [];
    try {
        server = await startServer({ movieDir, pageName, pageBody, ruffleDir, missingFiles });
        const origin = `http://${LOOPBACK}:${server.address().port}`;
        // Playwright's own launch timeout ends a browser that does not come up.
        browser = await playwright.chromium.launch({
            executablePath: options.browser,
            args: chromiumArgs(options.renderer),
            headless: true,
            timeout: options.timeoutMs,
        });
        const launchMs = Date.now() - started;
        const context = await browser.newContext({
            viewport: { width: options.width, height: options.height },
            deviceScaleFactor: 1,
            serviceWorkers: 'block',
        });
        context.setDefaultTimeout(options.timeoutMs);
        const problems = [];
        await context.route('**/*', (route) => {
            const url = route.request().url();
            if (url.startsWith(origin + '/')) return route.continue();
            problems.push(`blocked request to ${url}`);
            return route.abort('blockedbyclient');
        });
        // The page's clock stands still from before the page exists (so its performance.now()
        // starts at 0 every run); loading needs no timers to progress.
        await context.clock.install({ time: 0 });
        await context.clock.pauseAt(1000);
        const page = await context.newPage();
        page.on('pageerror', (e) => problems.push(`page error: ${e.message}`));
        page.on('console', (m) => {
            if (m.type() === 'error') problems.push(`console: ${m.text()}`);
        });
        // Counts the animation frames the page asks for: the emulator's frame loop runs on them,
        // so the movie can only start once it has asked for its first one.
        await page.addInitScript(() => {
            const request = window.requestAnimationFrame.bind(window);
            window.__swfplayFrameRequests = 0;
            window.requestAnimationFrame = (callback) => {
                window.__swfplayFrameRequests++;
                return request(callback);
            };
        });

        const loadStart = Date.now();
        await page.goto(`${origin}/${encodeURIComponent(pageName)}`, { waitUntil: 'load' });
        const loadState = await waitForMovie(page, options, problems, missingFiles);
        const loadMs = Date.now() - loadStart;
        const frameMs = loadState.frameRate > 0 ? 1000 / loadState.frameRate : 0;

        const shotsStarted = Date.now();
        const shots = [];
        const order = options.times.map((t, i) => ({ t, i })).sort((a, b) => a.t - b.t);
        for (const { t, i } of order) {
            const pageNow = await page.evaluate(() => performance.now());
            const target = pageTimeForMovieTime(t, frameMs);
            if (target > pageNow) await page.clock.runFor(Math.ceil(target - pageNow));
            const png = await page.screenshot({
                clip: { x: loadState.left, y: loadState.top, width: options.width, height: options.height },
                animations: 'allow', caret: 'initial', scale: 'css', timeout: options.timeoutMs,
            });
            const image = decodePng(png);
            const base = `shot-${i}-${t}ms`;
            fs.writeFileSync(path.join(options.out, base + '.png'), png);
            fs.writeFileSync(path.join(options.out, base + '.ppm'),
                Buffer.concat([Buffer.from(`P6\n${image.width} ${image.height}\n255\n`, 'latin1'), image.rgb]));
            shots[i] = { atMs: t, png: base + '.png', ppm: base + '.ppm', width: image.width, height: image.height };
        }
        return {
            ok: true,
            renderer: loadState.renderer,
            movieWidth: loadState.movieWidth,
            movieHeight: loadState.movieHeight,
            frameRate: loadState.frameRate,
            launchMs,
            loadMs,
            shotsMs: Date.now() - shotsStarted,
            totalMs: Date.now() - started,
            shots,
            warnings: problems,
        };
    } finally {
        if (browser) await browser.close().catch(() => {});
        if (server) {
            server.closeAllConnections?.();
            await new Promise((resolve) => server.close(resolve));
        }
    }
}

// The emulator accumulates animation-frame time from the page's time origin and shows frame k
// (counting from 0) on the first animation frame at or after (k + 1) frame durations; animation
// frames come every 16 ms of page time.  Movie time t therefore shows on the animation frame at
// or after t + one frame duration, plus a millisecond so that frame is surely run.
export const ANIMATION_FRAME_MS = 16;
export function pageTimeForMovieTime(movieMs, frameMs) {
    return Math.ceil((movieMs + frameMs) / ANIMATION_FRAME_MS) * ANIMATION_FRAME_MS + 1;
}

// Waits until the emulator has replaced the embed and reports the movie's metadata.
async function waitForMovie(page, options, problems, missingFiles) {
    const deadline = Date.now() + options.timeoutMs;
    for (;;) {
        const state = await page.evaluate(() => {
            const player = document.querySelector('ruffle-object, ruffle-embed, ruffle-player');
            if (!player || typeof player.ruffle !== 'function') return { found: false };
            const api = player.ruffle();
            const meta = api.metadata;
            const box = player.getBoundingClientRect();
            return {
                found: true,
                loaded: !!meta && window.__swfplayFrameRequests > 0,
                frameRequests: window.__swfplayFrameRequests,
                movieWidth: meta ? meta.width : 0,
                movieHeight: meta ? meta.height : 0,
                frameRate: meta ? meta.frameRate : 0,
                renderer: api.loadedConfig ? api.loadedConfig.preferredRenderer : null,
                canvas: player.shadowRoot ? !!player.shadowRoot.querySelector('canvas') : false,
                left: Math.round(box.left),
                top: Math.round(box.top),
            };
        });
        if (state.loaded) return state;
        if (missingFiles.length)
            throw new Error(`the page asks for ${missingFiles[0]}, which is not in ` +
                path.dirname(options.page || options.movie));
        const panic = problems.find((p) => /panic/i.test(p));
        if (panic) throw new Error(`the emulator failed: ${panic}`);
        if (Date.now() > deadline)
            throw new Error(`the movie did not load within ${options.timeoutMs} ms` +
                (state.found ? '' : ' (the emulator never replaced the embed)') +
                (problems.length ? `: ${problems.join('; ')}` : ''));
        await new Promise((resolve) => setTimeout(resolve, 25));
    }
}

async function main() {
    let options;
    try {
        options = parseCommandLine(process.argv.slice(2));
    } catch (e) {
        console.log(JSON.stringify({ ok: false, error: e.message }));
        process.exit(2);
    }
    // A hard ceiling so that no run can hang the caller (browser start, loading and the shots
    // each have the timeout).  Playwright ends the browser when the process exits.
    const ceilingMs = options.timeoutMs * 3 + 10000;
    const guard = setTimeout(() => {
        console.log(JSON.stringify({ ok: false, error: `gave up after ${ceilingMs} ms` }));
        process.exit(1);
    }, ceilingMs);
    try {
        const result = await run(options);
        console.log(JSON.stringify(result));
        clearTimeout(guard);
    } catch (e) {
        // The first line says what failed; the browser's log that Playwright appends goes to
        // standard error for whoever needs to dig deeper.
        const [headline, ...details] = String(e.message).split('\n');
        if (details.length) process.stderr.write(details.join('\n') + '\n');
        console.log(JSON.stringify({ ok: false, error: headline }));
        process.exitCode = 1;
        clearTimeout(guard);
    }
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) await main();
