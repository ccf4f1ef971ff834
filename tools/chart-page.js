#!/usr/bin/env node
// Builds one chart page: copies the page's markup and puts every library and
// settings file it names with <!--#inline NAME--> into the page itself, so the
// finished page needs nothing from outside.
//
//   node chart-page.js TEMPLATE OUTPUT [NAME=FILE]... [--expect TEXT]...
//
// NAME=FILE gives the file for a name; a name without one is a file beside
// the template. Files ending in .css become <style> blocks, all others
// <script> blocks. Every character outside ASCII is written as a \uXXXX
// escape (these occur only in the libraries' comments and string literals),
// so the page is plain ASCII and reads the same in any code page. Each
// --expect text must occur exactly once in the finished page (the
// placeholders the program fills in).
'use strict';
const fs = require('fs');
const path = require('path');

function fail(message) {
  process.stderr.write('chart-page: ' + message + '\n');
  process.exit(1);
}

const args = process.argv.slice(2);
if (args.length < 2) fail('usage: chart-page.js TEMPLATE OUTPUT [NAME=FILE]... [--expect TEXT]...');
const [templatePath, outputPath] = args;
const files = new Map();
const expected = [];
for (let i = 2; i < args.length; i++) {
  if (args[i] === '--expect') {
    if (i + 1 >= args.length) fail('--expect needs a text');
    expected.push(args[++i]);
    continue;
  }
  const eq = args[i].indexOf('=');
  if (eq <= 0) fail('not NAME=FILE: ' + args[i]);
  files.set(args[i].slice(0, eq), args[i].slice(eq + 1));
}

function toAscii(text) {
  return text.replace(/[^\x00-\x7f]/g,
    (c) => '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0'));
}

const template = fs.readFileSync(templatePath, 'utf8');
const used = new Set();
const page = template.replace(/<!--#inline ([A-Za-z0-9._-]+)-->/g, (marker, name) => {
  const file = files.has(name) ? files.get(name) : path.join(path.dirname(templatePath), name);
  used.add(name);
  let body;
  try {
    body = fs.readFileSync(file, 'utf8');
  } catch (e) {
    fail('cannot read ' + file + ' for ' + name + ': ' + e.message);
  }
  // Text that would end the block early or open a comment inside it would
  // change how the page parses.
  if (/<\/(script|style)/i.test(body) || body.includes('<!--')) {
    fail(file + ' holds text that would break out of its inline block');
  }
  body = toAscii(body);
  const tag = file.endsWith('.css') ? 'style' : 'script';
  const type = tag === 'style' ? 'text/css' : 'text/javascript';
  return '<' + tag + ' type="' + type + '">\n' + body.replace(/\s+$/, '') + '\n</' + tag + '>';
});
for (const name of files.keys()) {
  if (!used.has(name)) fail(templatePath + ' has no place for ' + name);
}
if (/<!--#inline/.test(page)) fail('unknown inline marker left in ' + templatePath);
if (/[^\x00-\x7f]/.test(page)) fail(templatePath + ' itself holds text outside ASCII');
for (const text of expected) {
  const count = page.split(text).length - 1;
  if (count !== 1) fail(text + ' occurs ' + count + ' times in the page, not once');
}
// Written beside the target and renamed, so a failed build leaves no half page.
const temp = outputPath + '.tmp';
fs.writeFileSync(temp, page, 'latin1');
fs.renameSync(temp, outputPath);
