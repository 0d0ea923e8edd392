#!/usr/bin/env node
// Checks an SWF file with the independent parser from the npm package swf-parser.
//
// Usage: node swfcheck.mjs FILE.swf [--summary]
// Exits 0 when the file is sound, 1 with a message when it is not, 2 when the parser is missing.
// With --summary it prints a JSON description of the header and every tag on success.
// The npm packages are looked up in $CLIPMOOR_NODE_DIR/node_modules (default /work/main/build/node).
import fs from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";

const args = process.argv.slice(2);
const summary = args.includes("--summary");
const file = args.find((a) => !a.startsWith("--"));
if (!file) {
    console.error("usage: swfcheck.mjs FILE.swf [--summary]");
    process.exit(2);
}

const nodeDir = process.env.CLIPMOOR_NODE_DIR || "/work/main/build/node";
const modules = path.join(nodeDir, "node_modules");
async function load(relative) {
    const full = path.join(modules, relative);
    if (!fs.existsSync(full)) {
        console.error(`swfcheck: ${full} is missing; run ./test.sh (or tools/install-deps.sh test) ` +
            "to install the test packages");
        process.exit(2);
    }
    return import(pathToFileURL(full).href);
}
const { parseSwf } = await load("swf-parser/lib/index.mjs");
const tagParsers = await load("swf-parser/lib/parsers/tags.mjs");
const { ReadableStream } = await load("@open-flash/stream/lib/index.js");

function fail(message) {
    console.error(`swfcheck: ${file}: ${message}`);
    process.exit(1);
}

let bytes;
try {
    bytes = new Uint8Array(fs.readFileSync(file));
} catch (e) {
    fail(`cannot read: ${e.message}`);
}
if (bytes.length < 8 || String.fromCharCode(bytes[0], bytes[1], bytes[2]) !== "FWS") {
    fail("not an uncompressed SWF file (signature FWS missing)");
}
const version = bytes[3];
const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
const declaredLength = view.getUint32(4, true);
if (declaredLength !== bytes.length) {
    fail(`header file length ${declaredLength} differs from the real size ${bytes.length}`);
}

let movie;
try {
    movie = parseSwf(bytes);
} catch (e) {
    fail(`the parser rejects the file: ${e.message}`);
}

// The tags this project writes, with the parser of each; every body must be consumed exactly.
const TAG_NAMES = {
    0: "End", 1: "ShowFrame", 2: "DefineShape", 9: "SetBackgroundColor", 10: "DefineFont",
    13: "DefineFontInfo", 21: "DefineBitsJPEG2", 26: "PlaceObject2", 28: "RemoveObject2",
    33: "DefineText2", 46: "DefineMorphShape",
};
const BODY_PARSERS = {
    2: (s) => tagParsers.parseDefineShape(s),
    9: (s) => tagParsers.parseSetBackgroundColor(s),
    10: (s) => tagParsers.parseDefineFont(s),
    13: (s) => tagParsers.parseDefineFontInfo(s),
    21: (s) => tagParsers.parseDefineBitsJpeg2(s, version),
    26: (s) => tagParsers.parsePlaceObject2(s, version),
    28: (s) => tagParsers.parseRemoveObject2(s),
    33: (s) => tagParsers.parseDefineText2(s),
    46: (s) => tagParsers.parseDefineMorphShape(s),
};

// Our own walk over the tag headers, independent of the parser's.
const rectBits = bytes[8] >> 3;
let pos = 8 + Math.ceil((5 + 4 * rectBits) / 8) + 4;
const frameCount = view.getUint16(pos - 2, true);
const walked = [];
let ended = false;
while (pos < bytes.length) {
    if (pos + 2 > bytes.length) {
        fail(`truncated tag header at offset ${pos}`);
    }
    const head = view.getUint16(pos, true);
    const code = head >> 6;
    let length = head & 0x3f;
    let headerSize = 2;
    if (length === 0x3f) {
        if (pos + 6 > bytes.length) {
            fail(`truncated long tag header at offset ${pos}`);
        }
        length = view.getUint32(pos + 2, true);
        headerSize = 6;
    }
    const bodyStart = pos + headerSize;
    if (bodyStart + length > bytes.length) {
        fail(`tag ${code} at offset ${pos} runs past the end of the file`);
    }
    const name = TAG_NAMES[code] ?? `Tag${code}`;
    walked.push({ code, name, offset: pos, length });
    pos = bodyStart + length;
    if (code === 0) {
        ended = true;
        break;
    }
    const parse = BODY_PARSERS[code];
    if (parse) {
        const stream = new ReadableStream(bytes.subarray(bodyStart, bodyStart + length));
        try {
            parse(stream);
        } catch (e) {
            fail(`${name} tag at offset ${walked.at(-1).offset} is invalid: ${e.message}`);
        }
        if (stream.available() !== 0) {
            fail(`${name} tag at offset ${walked.at(-1).offset} has ${stream.available()} ` +
                "bytes the parser did not read");
        }
    }
}
if (!ended) {
    fail("no End tag");
}
if (pos !== bytes.length) {
    fail(`${bytes.length - pos} bytes follow the End tag`);
}

const rawTags = movie.tags.filter((t) => t.type === 52 || t.type === 53);
if (rawTags.length > 0) {
    fail(`the parser could not read ${rawTags.length} tag(s), codes ${rawTags.map((t) => t.code)}`);
}
const showFrames = walked.filter((t) => t.code === 1).length;
if (movie.header.frameCount !== frameCount || frameCount !== showFrames) {
    fail(`header frame count ${frameCount} differs from the ${showFrames} ShowFrame tags`);
}

if (summary) {
    const parsedTags = movie.tags;
    const tags = walked.filter((t) => t.code !== 0).map((t, i) => {
        const parsed = parsedTags[i] ?? {};
        const entry = { code: t.code, name: t.name, length: t.length };
        for (const key of ["id", "depth", "characterId", "ratio", "fontId", "fontName", "isMove"]) {
            if (parsed[key] !== undefined) {
                entry[key] = parsed[key];
            }
        }
        if (parsed.matrix !== undefined) {
            entry.matrix = parsed.matrix;
        }
        if (Array.isArray(parsed.glyphs)) {
            entry.glyphCount = parsed.glyphs.length;
        }
        if (Array.isArray(parsed.codeUnits)) {
            entry.codeUnits = parsed.codeUnits;
        }
        if (Array.isArray(parsed.records)) {
            entry.glyphEntries = parsed.records.reduce((n, r) => n + r.entries.length, 0);
        }
        if (parsed.colorTransform !== undefined) {
            entry.colorTransform = parsed.colorTransform;
        }
        return entry;
    });
    const header = {
        version,
        fileLength: declaredLength,
        frameSize: movie.header.frameSize,
        frameRate: movie.header.frameRate.valueOf(),
        frameCount,
    };
    process.stdout.write(JSON.stringify({ header, tags }, (key, value) =>
        value instanceof Uint8Array ? value.length : value) + "\n");
}
